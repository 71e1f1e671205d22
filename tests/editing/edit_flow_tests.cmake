if(TARGET ftpqor_edit_flow)
  ftpqor_test(test_edit_flow
    SOURCES RemoteEditFlowTest.cpp
    DEPENDS ftpqor_edit_flow)
endif()
