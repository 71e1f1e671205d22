# The job list in the real window beside the headless dispatcher, on a local pyftpdlib server.
if(TARGET ftpqor_main_window AND TARGET ftpqor_test_support)
  add_executable(job_window job_window.cpp)
  target_link_libraries(job_window PRIVATE ftpqor_main_window ftpqor_job_dispatch ftpqor_test_support)
  ftpqor_warnings(job_window)
endif()
