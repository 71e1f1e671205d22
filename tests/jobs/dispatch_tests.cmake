ftpqor_test(test_job_dispatch
  SOURCES JobDispatchSupport.h RecordingJobHost.h JobDispatcherTest.cpp JobDispatcherFaultsTest.cpp
  DEPENDS ftpqor_job_dispatch)
