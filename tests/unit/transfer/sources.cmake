target_sources(unit_tests PRIVATE
  transfer/package_address_test.cpp
)
