ftpqor_test(test_ftp_engine_ui
  SOURCES
    EngineRecorder.cpp EngineRecorder.h
    FtpStatusStripTest.cpp
    LoginDialogTest.cpp
  DEPENDS ftpqor_ftp_engine_ui)
