if(TARGET ftpqor_ftp_engine)
  ftpqor_test(test_main_frame
    SOURCES MainWindowTest.cpp
    DEPENDS ftpqor_main_window ftpqor_usercmds)
endif()
