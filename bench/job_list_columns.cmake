# The job list's columns fitted again in the real window with 10,000 and 100,000 jobs.
if(TARGET ftpqor_main_window AND TARGET ftpqor_test_support)
  add_executable(job_list_columns job_list_columns.cpp)
  target_link_libraries(job_list_columns PRIVATE ftpqor_main_window ftpqor_job_dispatch ftpqor_test_support)
  ftpqor_warnings(job_list_columns)
endif()
