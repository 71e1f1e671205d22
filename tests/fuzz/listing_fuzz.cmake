# libFuzzer target for the directory-listing parser (clang only):
#   build-fuzz/tests/fuzz/listing_parser_fuzz -max_total_time=60
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "listing_parser_fuzz needs clang; skipped")
  return()
endif()
add_executable(listing_parser_fuzz ListingParserFuzz.cpp)
target_link_libraries(listing_parser_fuzz PRIVATE ftpqor_ftp_listing)
target_compile_options(listing_parser_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(listing_parser_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
# The parser itself is instrumented so the fuzzer sees its branches.
target_compile_options(ftpqor_ftp_listing PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
ftpqor_warnings(listing_parser_fuzz)
