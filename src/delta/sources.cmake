# Binary deltas between two versions of a file (libzstd's patch mode) and the index of the deltas
# a site publishes: shared by the launcher and update-site, knowing nothing of the update worker.
add_library(launcher_delta STATIC
  delta/delta_codec.cpp
  delta/delta_index.cpp
)
target_include_directories(launcher_delta PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_delta PUBLIC zstd::zstd)
