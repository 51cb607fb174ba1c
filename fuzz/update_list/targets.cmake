# The update list reader with the entry splitting.
add_fuzz_target(fuzz_update_list update_list/fuzz_update_list.cpp)
target_link_libraries(fuzz_update_list PRIVATE launcher_update_list launcher_crc32)
