# The signed statement reader.
add_fuzz_target(fuzz_statement signing/fuzz_statement.cpp)
target_link_libraries(fuzz_statement PRIVATE launcher_signing)
