ftpqor_test(test_ftp_engine
  SOURCES
    EngineRecorder.cpp EngineRecorder.h ScriptedEngineTest.h
    CommandTablesTest.cpp
    ReplyReaderTest.cpp
    EngineSessionTest.cpp
    EngineFaultsTest.cpp
    EngineTransferTest.cpp
    EngineDataFaultsTest.cpp
    EngineBehaviourTest.cpp
    EngineReviewTest.cpp
    EngineDeadlineTest.cpp
    EngineUploadEndTest.cpp
    EngineAbortTest.cpp
    EngineOverwriteCheckTest.cpp
    EngineHeldFileTest.cpp
  DEPENDS ftpqor_ftp_engine)
