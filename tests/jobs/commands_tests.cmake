if(TARGET ftpqor_job_commands)
  ftpqor_test(test_job_commands SOURCES JobMenuTest.cpp JobUploadCutTest.cpp JobRunEndTest.cpp JobRestartRefusedTest.cpp JobListFixture.h JobAccount.h CountingPlayer.h DEPENDS ftpqor_job_commands)
endif()
