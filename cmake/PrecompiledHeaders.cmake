# Three precompiled headers shared by the whole build: Qt Core, Qt Widgets and
# the test framework (cmake/pch/). Each is built once, by a small object library
# of its own, and reused by every target whose compile options are the same as
# its own; a header built with other options (-O level, warnings, sanitizers)
# would be skipped by the compiler, so a target with options of its own (the
# fuzz targets and the libraries they instrument) builds without one.
# -Winvalid-pch, which CMake passes with every reused header, names a header the
# compiler did skip.
option(FTPQOR_PCH "Share precompiled headers (Qt Core, Qt Widgets, test framework) across targets" ON)

# ftpqor_pch_holder(NAME HEADER TEST LINKS...): the object library that builds
# HEADER with the options its users have.
function(ftpqor_pch_holder name header is_test)
  add_library(${name} OBJECT "${CMAKE_SOURCE_DIR}/cmake/pch/PchHolder.cpp")
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_precompile_headers(${name} PRIVATE "${CMAKE_SOURCE_DIR}/cmake/pch/${header}")
  ftpqor_warnings(${name})
  if(is_test)
    ftpqor_test_flags(${name})
  endif()
endfunction()

# ftpqor_use_shared_pch(TARGET IS_TEST): lets TARGET reuse the shared header
# that fits it, when its compile options match that header's.
function(ftpqor_use_shared_pch target is_test)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
    return()
  endif()
  get_target_property(imported ${target} IMPORTED)
  get_target_property(own ${target} PRECOMPILE_HEADERS)
  get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
  get_target_property(disabled ${target} DISABLE_PRECOMPILE_HEADERS)
  if(imported OR own OR reused OR disabled)
    return()
  endif()

  ftpqor_linked_closure(${target} linked)
  if(is_test)
    set(holder ftpqor_pch_test)
  elseif("Qt6::Widgets" IN_LIST linked)
    set(holder ftpqor_pch_widgets)
  elseif("Qt6::Core" IN_LIST linked)
    set(holder ftpqor_pch_core)
  else()
    return()
  endif()

  get_target_property(options ${target} COMPILE_OPTIONS)
  get_target_property(holder_options ${holder} COMPILE_OPTIONS)
  if(NOT "${options}" STREQUAL "${holder_options}")
    message(VERBOSE "${target}: compile options differ from ${holder}'s; built without a shared precompiled header")
    return()
  endif()
  set_target_properties(${target} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM ${holder})
endfunction()

# ftpqor_shared_pch_holders(): the three holders, defined in the top folder so
# they get the options every target gets there.
function(ftpqor_shared_pch_holders)
  ftpqor_pch_holder(ftpqor_pch_core QtCorePch.h OFF Qt6::Core)
  ftpqor_pch_holder(ftpqor_pch_widgets QtWidgetsPch.h OFF Qt6::Widgets)
  if(TARGET GTest::gtest)
    # Not Qt Test: its compile definitions differ per test folder (see TestPch.h).
    ftpqor_pch_holder(ftpqor_pch_test TestPch.h ON Qt6::Widgets GTest::gtest)
  endif()
endfunction()
