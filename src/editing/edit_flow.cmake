# Opening remote files for viewing and editing: the main window's component
# that downloads the copy, opens it and sends it back. Sits above the server
# slots, the job records and the batches (whose failure reasons it shares).
if(TARGET ftpqor_server_slots AND TARGET ftpqor_job_records AND TARGET ftpqor_batch)
  ftpqor_library(ftpqor_edit_flow
    SOURCES
      RemoteEditFlow.cpp RemoteEditFlow.h
      TmpCopyRecord.cpp TmpCopyRecord.h
    DEPENDS ftpqor_editing ftpqor_batch ftpqor_server_slots ftpqor_job_records ftpqor_config ftpqor_ftp_engine
            ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
