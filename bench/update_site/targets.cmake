# The benchmarks of the update-site tool; they print their figures (see bench/update_site/README.md).
foreach(bench bench_update_site bench_large_file)
  add_executable(${bench} ${CMAKE_CURRENT_LIST_DIR}/${bench}.cpp)
  target_compile_definitions(${bench} PRIVATE UPDATE_SITE_EXE="$<TARGET_FILE:update-site>")
  add_dependencies(${bench} update-site)
  set_target_properties(${bench} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endforeach()
