target_sources(unit_tests PRIVATE
  settings/game_launch_test.cpp
  settings/game_settings_test.cpp
  settings/options_behaviour_test.cpp
)
