target_sources(unit_tests PRIVATE
  delta/delta_codec_test.cpp
  delta/delta_index_test.cpp
)
target_link_libraries(unit_tests PRIVATE launcher_delta)
