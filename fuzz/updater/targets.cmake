# The update list reader with the entry splitting, and the bzip2 decompression stream.
add_fuzz_target(fuzz_update_list updater/fuzz_update_list.cpp)
add_fuzz_target(fuzz_bz_stream updater/fuzz_bz_stream.cpp)
