# The delta index reader with the chain search, and applying arbitrary deltas; the deltas'
# seeds come from make_delta_seeds.py.
add_fuzz_target(fuzz_delta_index delta/fuzz_delta_index.cpp)
target_link_libraries(fuzz_delta_index PRIVATE launcher_delta)
add_fuzz_target(fuzz_apply_delta delta/fuzz_apply_delta.cpp)
target_link_libraries(fuzz_apply_delta PRIVATE launcher_delta)
