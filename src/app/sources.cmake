target_sources(launcher_core PRIVATE
  app/startup.cpp
  app/trusted_keys.cpp
)
