# The bzip2 stream that packages are read through, and the decoder that unpacks a package's
# blocks on several threads as it arrives.
add_library(launcher_bzip2 STATIC
  bzip2/bz2_block_pool.cpp
  bzip2/bz2_candidate.cpp
  bzip2/bz2_input_window.cpp
  bzip2/bz2_marks.cpp
  bzip2/bz2_memory_cache.cpp
  bzip2/bz2_resume_primer.cpp
  bzip2/bz2_sequential_decoder.cpp
  bzip2/bz_stream.cpp
  bzip2/parallel_bz2_decoder.cpp
  bzip2/stream.cpp
)
target_include_directories(launcher_bzip2 PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_bzip2 PUBLIC launcher_platform BZip2::BZip2 Threads::Threads)
