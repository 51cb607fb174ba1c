target_sources(unit_tests PRIVATE
  app/startup_test.cpp
  app/trusted_keys_test.cpp
)
