# Remote listing parser: plain C++, linked by the FTP panel, its tests and the fuzz target.
add_library(km_ftp_listing STATIC ${CMAKE_CURRENT_LIST_DIR}/ListingParser.cpp)
target_include_directories(km_ftp_listing PUBLIC ${CMAKE_SOURCE_DIR}/src)
