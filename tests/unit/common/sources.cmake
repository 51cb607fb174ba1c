target_sources(unit_tests PRIVATE
  common/language_test.cpp
  common/progress_bar_state_test.cpp
  common/recording_view_test.cpp
)
