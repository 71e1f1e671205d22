# The job list's commands and the job connections that run its jobs.
if(TARGET ftpqor_job_queue AND TARGET ftpqor_batch AND TARGET ftpqor_job_dialogs)
  ftpqor_library(ftpqor_job_commands
    SOURCES
      JobCommands.cpp JobCommands.h
    DEPENDS ftpqor_job_queue ftpqor_job_dispatch ftpqor_job_dialogs ftpqor_batch ftpqor_ftp_engine_ui
            ftpqor_config ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
