# Remote listing parsers (LIST and MLSD lines): plain C++, linked by the FTP panel, their
# tests and the fuzz target.
add_library(km_ftp_listing STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ListingParser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MlsdLine.cpp
)
target_include_directories(km_ftp_listing PUBLIC ${CMAKE_SOURCE_DIR}/src)
