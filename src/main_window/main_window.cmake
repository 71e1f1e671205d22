# The main window: frame, panes, splitters, toolbar, menus, status bar, layout.
if(TARGET ftpqor_ftp_engine)
  ftpqor_library(ftpqor_main_window
    SOURCES
      ColumnWidthKeeper.cpp ColumnWidthKeeper.h
      SplitterShares.cpp SplitterShares.h
      WindowPlacement.cpp WindowPlacement.h
      LetterIcon.cpp LetterIcon.h
      LogPanes.cpp LogPanes.h
      frmZAVUde.cpp frmZAVUde.h
      frmZAVUdeLayout.cpp
      frmZAVUdeMenus.cpp
      frmZAVUdeBatches.cpp
      frmZAVUdeJobs.cpp
      frmZAVUdeTransfers.cpp
    DEPENDS ftpqor_job_commands ftpqor_edit_flow ftpqor_batch_runner ftpqor_job_queue ftpqor_job_records ftpqor_batch ftpqor_server_slots ftpqor_controls ftpqor_ftp_engine_ui ftpqor_sessions ftpqor_usercmds ftpqor_local_pane ftpqor_config ftpqor_profiles ftpqor_ftp_engine
            ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
