# Benchmark programs of the update worker; they print their figures (see bench/updater/README.md).
add_executable(bench_install updater/bench_install.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/http_test_server.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_window_thread.cpp)
target_include_directories(bench_install PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_install PRIVATE launcher_core http_serving)
set_target_properties(bench_install PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)

# The installation stage fetching ahead on several connections, against one package at a time
# and curl --parallel.
add_executable(bench_fetch_ahead updater/bench_fetch_ahead.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/http_test_server.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_window_thread.cpp)
target_include_directories(bench_fetch_ahead PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_fetch_ahead PRIVATE launcher_core http_serving)
set_target_properties(bench_fetch_ahead PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)

# A whole update of the delta corpus through deltas against whole packages, on a 2 MiB/s line;
# the site is built by update-site itself.
add_executable(bench_delta_install updater/bench_delta_install.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/http_test_server.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_window_thread.cpp)
target_include_directories(bench_delta_install PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_delta_install PRIVATE launcher_core http_serving)
target_compile_definitions(bench_delta_install PRIVATE "UPDATE_SITE_PROGRAM=\"$<TARGET_FILE:update-site>\"")
add_dependencies(bench_delta_install update-site)
set_target_properties(bench_delta_install PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
