# Extraction of a .tar.gz against GNU tar; run by hand, prints the ratio.
add_executable(tar_bench ${CMAKE_CURRENT_LIST_DIR}/TarBench.cpp)
target_link_libraries(tar_bench PRIVATE km_tar_gzip)
