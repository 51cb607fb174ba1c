target_sources(launcher_core PRIVATE
  common/language.cpp
  common/launcher_config.cpp
  common/misc.cpp
  common/progress_bar_state.cpp
)
