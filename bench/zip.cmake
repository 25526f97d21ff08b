# Zipping against Info-ZIP zip; run by hand, prints the ratios.
add_executable(zip_bench ${CMAKE_CURRENT_LIST_DIR}/ZipBench.cpp)
target_link_libraries(zip_bench PRIVATE km_zip)
