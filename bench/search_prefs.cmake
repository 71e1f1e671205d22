# The saved-search file: loading 10,000 and 100,000 saved searches.
add_executable(search_prefs search_prefs.cpp)
target_link_libraries(search_prefs PRIVATE ftpqor_search_walk)
ftpqor_warnings(search_prefs)
