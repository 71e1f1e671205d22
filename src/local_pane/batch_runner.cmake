# Running immediate batches: steps, remote walks, overwrite questions, the
# confirmation list and the server-to-server copy. Sits above the batch builders.
if(TARGET ftpqor_batch)
  ftpqor_library(ftpqor_batch_runner
    SOURCES
      BatchEngine.h
      BatchRunner.cpp BatchRunner.h
      BatchRunnerWalk.cpp
      FtpCommanderBatchEngine.cpp FtpCommanderBatchEngine.h
      OverwriteQuestions.cpp OverwriteQuestions.h
      ServerCopy.cpp ServerCopy.h
    DEPENDS ftpqor_batch ftpqor_batch_dialogs ftpqor_server_slots ftpqor_ftp_engine ftpqor_ftp_listing
            ftpqor_local_pane ftpqor_config ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
