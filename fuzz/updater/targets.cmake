# The update list reader with the entry splitting, the bzip2 decompression stream and the signed
# statement reader.
add_fuzz_target(fuzz_update_list updater/fuzz_update_list.cpp)
add_fuzz_target(fuzz_bz_stream updater/fuzz_bz_stream.cpp)
add_fuzz_target(fuzz_statement updater/fuzz_statement.cpp)
# The parallel bzip2 decoder against the stream; its seeds come from make_parallel_bz2_seeds.py.
add_fuzz_target(fuzz_parallel_bz2 updater/fuzz_parallel_bz2.cpp)
