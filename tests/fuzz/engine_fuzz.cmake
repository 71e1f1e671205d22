# libFuzzer target for the engine's reply reader and reply-code matching (clang only):
#   build-fuzz/tests/fuzz/reply_reader_fuzz -max_total_time=60
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "reply_reader_fuzz needs clang; skipped")
  return()
endif()
add_executable(reply_reader_fuzz ReplyReaderFuzz.cpp)
target_link_libraries(reply_reader_fuzz PRIVATE ftpqor_ftp_engine)
target_compile_options(reply_reader_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(reply_reader_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_compile_options(ftpqor_ftp_engine PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
# Whatever else links the instrumented engine (its tests, the benchmark) needs
# the sanitizer runtimes too.
target_link_options(ftpqor_ftp_engine INTERFACE -fsanitize=address,undefined)
ftpqor_warnings(reply_reader_fuzz)
