if(TARGET ftpqor_job_commands)
  ftpqor_test(test_job_commands SOURCES JobMenuTest.cpp DEPENDS ftpqor_job_commands)
endif()
