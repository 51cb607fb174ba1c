target_sources(launcher_core PRIVATE
  settings/game_settings.cpp
  settings/game_launch.cpp
  settings/options_behaviour.cpp
)
