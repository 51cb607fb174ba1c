# Applying a delta with ApplyDelta against the zstd tool (see bench/delta/README.md).
add_executable(bench_delta_apply delta/bench_delta_apply.cpp)
target_link_libraries(bench_delta_apply PRIVATE launcher_delta)
set_target_properties(bench_delta_apply PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
