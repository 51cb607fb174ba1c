target_sources(launcher_core PRIVATE
  settings/game_settings.cpp
  settings/options_behaviour.cpp
)
