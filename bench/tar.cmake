# Extraction of tarballs against GNU tar and of a 7z against 7zz; run by hand, prints the ratios.
add_executable(tar_bench ${CMAKE_CURRENT_LIST_DIR}/TarBench.cpp)
target_link_libraries(tar_bench PRIVATE km_tar_gzip km_other_archive)
