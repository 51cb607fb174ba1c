# CRC-32 of bytes and files, as the update list's checksums are made.
add_library(launcher_crc32 STATIC
  crc32/crc32.cpp
  crc32/crc32_folding.cpp
)
target_include_directories(launcher_crc32 PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_crc32 PUBLIC launcher_platform)
