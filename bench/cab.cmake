# Extraction against cabextract; run by hand, prints the ratios.
find_package(ZLIB REQUIRED)
add_executable(cab_bench ${CMAKE_CURRENT_LIST_DIR}/CabBench.cpp)
target_include_directories(cab_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/archive/cab)
target_link_libraries(cab_bench PRIVATE km_cab ZLIB::ZLIB)
