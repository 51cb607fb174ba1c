target_sources(unit_tests PRIVATE
  signing/signed_statement_test.cpp
)
