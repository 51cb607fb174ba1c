# Benchmark programs of the updater; they print their figures (see bench/updater/README.md).
add_executable(bench_crc32 updater/bench_crc32.cpp)
target_link_libraries(bench_crc32 PRIVATE launcher_core)

add_executable(bench_install updater/bench_install.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/http_test_server.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_window_thread.cpp)
target_include_directories(bench_install PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_install PRIVATE launcher_core http_serving)

set_target_properties(bench_crc32 bench_install PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)

# The installation stage fetching ahead on several connections, against one package at a time
# and curl --parallel.
add_executable(bench_fetch_ahead updater/bench_fetch_ahead.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/http_test_server.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_window_thread.cpp)
target_include_directories(bench_fetch_ahead PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_fetch_ahead PRIVATE launcher_core http_serving)
set_target_properties(bench_fetch_ahead PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)

# The parallel bzip2 decoder against libbz2 alone, bzip2 and lbzip2.
add_executable(bench_parallel_bz2 updater/bench_parallel_bz2.cpp)
target_link_libraries(bench_parallel_bz2 PRIVATE launcher_core)
set_target_properties(bench_parallel_bz2 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
