target_sources(unit_tests PRIVATE
  crc32/crc32_test.cpp
)
