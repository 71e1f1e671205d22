# The job connections and their dispatcher: no widgets, so a benchmark can run them headless.
ftpqor_library(ftpqor_job_dispatch
  SOURCES
    JobDispatchHost.h
    JobDispatcher.cpp JobDispatcher.h
  DEPENDS ftpqor_job_records ftpqor_ftp_engine ftpqor_foundation ftpqor_platform Qt6::Core)
