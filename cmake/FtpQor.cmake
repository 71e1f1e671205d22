# Shared build helpers.

# A folder joins the build once it has a CMakeLists.txt of its own, so a
# subsystem can land without touching this file.
function(ftpqor_add_folder dir)
  if(EXISTS "${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt")
    add_subdirectory("${dir}")
  endif()
endfunction()

# Warnings for our own code only.
function(ftpqor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
endfunction()

# ftpqor_library(NAME SOURCES ... DEPENDS ...): one static library per subsystem folder.
function(ftpqor_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  ftpqor_warnings(${name})
endfunction()

# ftpqor_test(NAME SOURCES ... DEPENDS ...): one GoogleTest executable per test
# folder, each test registered with CTest on its own.
function(ftpqor_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ftpqor_test_support ${ARG_DEPENDS})
  ftpqor_warnings(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()

# Under FTPQOR_SANITIZE a test fails on any report; leaks inside the system's
# own libraries (fontconfig, glib) are suppressed, never ours. Test binaries
# carry these options in their entry point (a list here would not survive the
# test discovery's properties); the program's own tests take them from here.
set(FTPQOR_SANITIZER_ENV "")
if(FTPQOR_SANITIZE)
  set(FTPQOR_SANITIZER_ENV
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/TargetWalk.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/TestBuildFlags.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/PrecompiledHeaders.cmake")

# ftpqor_finish_targets(): the settings a target gets for what it is (test
# code, a widgets library) rather than for where it is defined. Called once,
# after every folder has been added, so a folder needs to do nothing for them.
function(ftpqor_finish_targets)
  ftpqor_all_targets(targets)
  if(FTPQOR_PCH)
    ftpqor_shared_pch_holders()
  endif()
  foreach(target IN LISTS targets)
    ftpqor_is_test(${target} is_test)
    if(is_test)
      ftpqor_test_flags(${target})
    endif()
    if(FTPQOR_PCH)
      ftpqor_use_shared_pch(${target} ${is_test})
    endif()
  endforeach()
endfunction()
