# Filling the local list and the confirmation list with many rows in the real windows.
if(TARGET ftpqor_main_window)
  add_executable(pane_lists pane_lists.cpp)
  target_link_libraries(pane_lists PRIVATE ftpqor_main_window)
  ftpqor_warnings(pane_lists)
endif()
