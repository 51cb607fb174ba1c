target_sources(unit_tests PRIVATE
  app/startup_test.cpp
)
