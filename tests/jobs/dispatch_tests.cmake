ftpqor_test(test_job_dispatch
  SOURCES JobAccount.h JobDispatchSupport.h RecordingJobHost.h JobDispatcherTest.cpp JobDispatcherFaultsTest.cpp
  DEPENDS ftpqor_job_dispatch)
