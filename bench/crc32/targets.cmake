# FileCRC32 against reading alone, zlib, the portable path and cksum (see bench/crc32/README.md).
add_executable(bench_crc32 crc32/bench_crc32.cpp)
target_link_libraries(bench_crc32 PRIVATE launcher_crc32 ZLIB::ZLIB)
set_target_properties(bench_crc32 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
