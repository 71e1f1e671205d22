# ftpqor_fuzz_target(NAME SOURCE LIBRARY): a libFuzzer executable that drives
# LIBRARY. The library is instrumented so the fuzzer sees its branches, and
# whatever else links it (its tests, the benchmarks) gets the sanitizer
# runtimes that instrumentation needs. clang only.
function(ftpqor_fuzz_target name source library)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "${name} needs clang; skipped")
    return()
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${library})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(${library} INTERFACE -fsanitize=address,undefined)
  ftpqor_warnings(${name})
endfunction()
