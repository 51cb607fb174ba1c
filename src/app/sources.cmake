target_sources(launcher_core PRIVATE
  app/startup.cpp
)
