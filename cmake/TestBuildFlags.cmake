# Test objects are compiled with light optimisation and no debug information:
# the tests run briefly, and debug information is a large share of their
# compile time. A sanitizer build keeps the program's flags (its reports need
# line numbers), and so does FTPQOR_TEST_DEBUG_INFO, for stepping through a test.
option(FTPQOR_TEST_DEBUG_INFO "Build the tests with the program's optimisation and full debug information" OFF)

set(FTPQOR_TEST_COMPILE_OPTIONS "")
if(NOT FTPQOR_SANITIZE AND NOT FTPQOR_TEST_DEBUG_INFO)
  set(FTPQOR_TEST_COMPILE_OPTIONS
    "$<$<CONFIG:RelWithDebInfo,Release,MinSizeRel>:-O1>"
    "$<$<CONFIG:RelWithDebInfo,Release,MinSizeRel>:-g0>")
endif()

# ftpqor_is_test(TARGET OUT): whether TARGET is test code, that is a target
# under tests/ linking the test framework: the test executables and their
# shared fixtures (helper programs the tests start and the fuzz targets are not).
function(ftpqor_is_test target out)
  set(result OFF)
  get_target_property(type ${target} TYPE)
  get_target_property(dir ${target} SOURCE_DIR)
  if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY)$" AND dir MATCHES "^${CMAKE_SOURCE_DIR}/tests(/|$)")
    ftpqor_linked_closure(${target} linked)
    if("GTest::gtest" IN_LIST linked OR "GTest::GTest" IN_LIST linked)
      set(result ON)
    endif()
  endif()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# ftpqor_test_flags(TARGET): gives TARGET the test compile flags.
function(ftpqor_test_flags target)
  if(FTPQOR_TEST_COMPILE_OPTIONS)
    target_compile_options(${target} PRIVATE ${FTPQOR_TEST_COMPILE_OPTIONS})
  endif()
endfunction()
