if(TARGET ftpqor_job_queue)
  # The program's stand-in for the tests that need a second process.
  add_executable(ftpqor_job_process_helper JobProcessHelper.cpp)
  target_link_libraries(ftpqor_job_process_helper PRIVATE ftpqor_job_queue)
  target_include_directories(ftpqor_job_process_helper PRIVATE "${CMAKE_SOURCE_DIR}/tests/support")
  ftpqor_warnings(ftpqor_job_process_helper)

  ftpqor_test(test_job_queue
    SOURCES JobQueuePaneTest.cpp JobProcessTest.cpp JobSamples.h CountingPlayer.h
    DEPENDS ftpqor_job_queue)
  target_compile_definitions(test_job_queue PRIVATE
    JOB_PROCESS_HELPER="$<TARGET_FILE:ftpqor_job_process_helper>")
  add_dependencies(test_job_queue ftpqor_job_process_helper)
endif()
