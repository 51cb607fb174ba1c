# The benchmark of the update-site tool; it prints its figures (see bench/update_site/README.md).
add_executable(bench_update_site ${CMAKE_CURRENT_LIST_DIR}/bench_update_site.cpp)
target_compile_definitions(bench_update_site PRIVATE UPDATE_SITE_EXE="$<TARGET_FILE:update-site>")
add_dependencies(bench_update_site update-site)
set_target_properties(bench_update_site PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
