if(TARGET ftpqor_ftp_engine)
  ftpqor_test(test_main_frame
    SOURCES MainWindowTest.cpp WindowLayoutTest.cpp WindowPlacementTest.cpp PaneLayoutTest.cpp PaneColumnsTest.cpp MainWindowTransfersTest.cpp FirstUseTest.cpp MainWindowJobsTest.cpp MainWindowJobCloseTest.cpp StatusLineTest.cpp JobListColumnsTest.cpp
    DEPENDS ftpqor_main_window ftpqor_usercmds)
  # Edited copies and their upload jobs across runs of the window.
  target_sources(test_main_frame PRIVATE MainWindowEditJobs.h EditJobSnapshotTest.cpp TmpCopiesAtCloseTest.cpp)
  target_include_directories(test_main_frame PRIVATE "${CMAKE_SOURCE_DIR}/tests/local_pane"
                                                     "${CMAKE_SOURCE_DIR}/tests/sessions"
                                                     "${CMAKE_SOURCE_DIR}/tests/jobs")
  ftpqor_test(test_batch_window
    SOURCES BatchWindowTest.cpp BatchFaultsTest.cpp BatchStallTest.cpp BatchFailuresTest.cpp UploadOverwriteCheckTest.cpp
            ServerCopyFaultsTest.cpp ServerCopySourceCheckTest.cpp ServerCopyEndTest.cpp
            ServerCopyTargetCheckTest.cpp ServerCopyExitTest.cpp ServerCopyTemporaryTest.cpp ServerCopyTestSupport.h
    DEPENDS ftpqor_main_window ftpqor_batch_runner)
  target_include_directories(test_batch_window PRIVATE "${CMAKE_SOURCE_DIR}/tests/jobs")
endif()
