# The dialogs of immediate batches: progress, overwrite question, confirmation list.
if(TARGET ftpqor_ftp_engine)
  ftpqor_library(ftpqor_batch_dialogs
    SOURCES
      ProgressOwner.h
      frmFileConfirm.cpp frmFileConfirm.h
      frmOverwrite.cpp frmOverwrite.h
      frmProgress.cpp frmProgress.h
    DEPENDS ftpqor_local_pane ftpqor_profiles ftpqor_config
            ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
