# The line compare against diff on two large text files; run by hand.
add_executable(bench_compare ${CMAKE_CURRENT_LIST_DIR}/CompareBench.cpp)
target_link_libraries(bench_compare PRIVATE km_compare)
