target_sources(unit_tests PRIVATE
  common/file_content_test.cpp
  common/language_test.cpp
  common/progress_bar_state_test.cpp
  common/recording_view_test.cpp
  common/size_format_test.cpp
  common/split_from_end_test.cpp
)
