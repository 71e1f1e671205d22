# The job queue of the main window: job list, summary, information box.
if(TARGET ftpqor_config)
  ftpqor_library(ftpqor_job_queue
    SOURCES
      JobListModel.cpp JobListModel.h
      JobQueuePane.cpp JobQueuePane.h
    DEPENDS ftpqor_job_records ftpqor_config ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
