if(TARGET ftpqor_ftp_engine)
  ftpqor_test(test_server_slots
    SOURCES RemoteListingTest.cpp ServerSlotTest.cpp SlotStateTest.cpp SlotTestSupport.h
    DEPENDS ftpqor_server_slots)
endif()
