if(TARGET ftpqor_job_dialogs)
  ftpqor_test(test_job_dialogs SOURCES JobDialogsTest.cpp DEPENDS ftpqor_job_dialogs)
endif()
