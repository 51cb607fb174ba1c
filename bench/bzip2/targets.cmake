# The parallel bzip2 decoder against libbz2 alone, bzip2 and lbzip2 (see bench/bzip2/README.md).
add_executable(bench_parallel_bz2 bzip2/bench_parallel_bz2.cpp)
target_link_libraries(bench_parallel_bz2 PRIVATE launcher_bzip2 launcher_crc32)
set_target_properties(bench_parallel_bz2 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
