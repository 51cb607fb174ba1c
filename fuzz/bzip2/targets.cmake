# The bzip2 decompression stream.
add_fuzz_target(fuzz_bz_stream bzip2/fuzz_bz_stream.cpp)
target_link_libraries(fuzz_bz_stream PRIVATE launcher_bzip2)
# The parallel bzip2 decoder against the stream; its seeds come from make_parallel_bz2_seeds.py.
add_fuzz_target(fuzz_parallel_bz2 bzip2/fuzz_parallel_bz2.cpp)
target_link_libraries(fuzz_parallel_bz2 PRIVATE launcher_bzip2)
