# Extraction and listing against Info-ZIP unzip; run by hand, prints the ratios.
add_executable(unzip_bench ${CMAKE_CURRENT_LIST_DIR}/UnzipBench.cpp)
target_link_libraries(unzip_bench PRIVATE km_zip)
