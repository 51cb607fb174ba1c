target_sources(unit_tests PRIVATE
  platform/range_header_test.cpp
)
