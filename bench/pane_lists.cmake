# Filling the local list, the confirmation list and the compare window's results with many rows in the real windows.
if(TARGET ftpqor_main_window AND TARGET ftpqor_compare AND TARGET ftpqor_test_support)
  add_executable(pane_lists pane_lists.cpp)
  target_link_libraries(pane_lists PRIVATE ftpqor_main_window ftpqor_compare ftpqor_test_support)
  ftpqor_warnings(pane_lists)
endif()
