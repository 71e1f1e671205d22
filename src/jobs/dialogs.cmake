# The new-job and job-details dialogs.
if(TARGET ftpqor_profiles)
  ftpqor_library(ftpqor_job_dialogs
    SOURCES
      JobForm.cpp JobForm.h
      frmTask.cpp frmTask.h
      frmTaskDetails.cpp frmTaskDetails.h
    DEPENDS ftpqor_job_records ftpqor_profiles ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
