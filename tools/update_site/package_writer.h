#pragma once
#include <cstdint>
#include <functional>
#include <string>

// What was read and written for one package.
struct PackedFile {
  uint32_t crc = 0;           // of the file's content, from the same bytes that were compressed
  uint64_t file_size = 0;     // bytes read
  uint64_t package_size = 0;  // bytes written
};

// Called with the number of bytes of the game file just read.
using ReadProgress = std::function<void(uint64_t bytes)>;

// Writes `package` as one complete bzip2 stream (block size 9, as "bzip2 -9") of the whole file.
// Streams through fixed buffers. Raises platform::SystemError on a read or write error and
// std::runtime_error when the package would reach 2 GiB (the list's sizes are 32-bit).
PackedFile WritePackage(const std::string& file, const std::string& package, const ReadProgress& progress);

// The CRC-32 of the file's content. Unlike the launcher's FileCRC32, a file that cannot be
// opened is an error here (platform::SystemError), not an empty file.
uint32_t ContentCrc(const std::string& file, const ReadProgress& progress);
