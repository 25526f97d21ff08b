# FTP transfers through the engine against pyftpdlib, compared with curl.
add_executable(bench_ftp ${CMAKE_CURRENT_LIST_DIR}/FtpBench.cpp)
target_link_libraries(bench_ftp PRIVATE km_ftp)
target_compile_definitions(bench_ftp PRIVATE KM_FTP_SERVER_SCRIPT="${CMAKE_SOURCE_DIR}/tests/ftp/ftp_server.py")
