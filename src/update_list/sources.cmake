# The update list: its sections, its entries and the paths an entry may name.
add_library(launcher_update_list STATIC
  update_list/list_entry.cpp
  update_list/list_file.cpp
)
target_include_directories(launcher_update_list PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_update_list PUBLIC launcher_common launcher_platform)
