# The job list: adding, saving and loading 10,000 jobs.
if(TARGET ftpqor_job_queue)
  add_executable(job_list job_list.cpp)
  target_link_libraries(job_list PRIVATE ftpqor_job_queue)
  ftpqor_warnings(job_list)
endif()
