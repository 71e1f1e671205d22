# libFuzzer target for the job-file line reader (clang only):
#   build-fuzz/tests/fuzz/job_file_fuzz -max_total_time=60
ftpqor_fuzz_target(job_file_fuzz JobFileFuzz.cpp ftpqor_job_records)
