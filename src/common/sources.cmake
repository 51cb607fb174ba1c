# Shared helpers, the three-language texts and the view operations: what every part of the
# logic and the update-site tool may use.
add_library(launcher_common STATIC
  common/file_content.cpp
  common/language.cpp
  common/launcher_config.cpp
  common/misc.cpp
  common/progress_bar_state.cpp
  common/size_format.cpp
)
target_include_directories(launcher_common PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_common PUBLIC launcher_platform)
