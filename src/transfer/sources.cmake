# Getting packages onto disk: their addresses, a transfer that resumes, fetching ahead on
# several connections, and unpacking a package while it arrives.
add_library(launcher_transfer STATIC
  transfer/created_folders.cpp
  transfer/package_address.cpp
  transfer/package_fetcher.cpp
  transfer/package_transfer.cpp
  transfer/package_unpacker.cpp
)
target_include_directories(launcher_transfer PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(launcher_transfer PUBLIC launcher_bzip2 launcher_crc32 launcher_signing launcher_common
                                               launcher_platform Threads::Threads)
