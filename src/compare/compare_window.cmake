ftpqor_library(ftpqor_compare
  SOURCES
    frmCompare.cpp frmCompare.h
    frmCompareJobs.cpp
    frmFolderOption.cpp frmFolderOption.h
  DEPENDS ftpqor_compare_core ftpqor_job_records ftpqor_profiles ftpqor_config ftpqor_local_pane ftpqor_foundation ftpqor_platform
          Qt6::Widgets)
