if(TARGET ftpqor_job_queue)
  ftpqor_test(test_job_queue
    SOURCES JobQueuePaneTest.cpp JobSamples.h
    DEPENDS ftpqor_job_queue)
endif()
