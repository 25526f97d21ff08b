# Time until a 200 MiB text file shows its first page in the viewer; run by hand.
add_executable(bench_editor ${CMAKE_CURRENT_LIST_DIR}/EditorBench.cpp)
target_link_libraries(bench_editor PRIVATE km_viewers)
