target_sources(unit_tests PRIVATE
  bzip2/bz2_marks_test.cpp
  bzip2/bz2_resume_primer_test.cpp
  bzip2/bz_stream_test.cpp
  bzip2/parallel_bz2_decoder_test.cpp
)
