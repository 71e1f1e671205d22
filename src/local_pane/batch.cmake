# Immediate batches: preparing uploads, downloads and deletes from the panes,
# and the seam to the runner that carries them out. Sits above the server slots.
if(TARGET ftpqor_ftp_engine)
  ftpqor_library(ftpqor_batch
    SOURCES
      BatchAnswers.cpp BatchAnswers.h
      BatchFailures.cpp BatchFailures.h
      BatchEntry.h
      BatchSteps.h
      BatchDownloads.cpp
      BatchTransfers.cpp BatchTransfers.h
      BatchUploads.cpp
    DEPENDS ftpqor_job_records ftpqor_server_slots ftpqor_local_pane ftpqor_config ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
