#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "signing/sha256.h"

// What was read and written for one package.
struct PackedFile {
  uint32_t crc = 0;           // of the file's content, from the same bytes that were compressed
  uint64_t file_size = 0;     // bytes read
  uint64_t package_size = 0;  // bytes written
  Sha256Digest package_sha256{};  // of the bytes written
};

// Called with the number of bytes of the game file just read.
using ReadProgress = std::function<void(uint64_t bytes)>;

// Writes `package` as one standard bzip2 stream (block size 9) of the whole file, compressed in
// chunks of kChunkSize on `threads` threads; the bytes written do not depend on `threads`. At
// most two chunks per thread are held at a time. Raises platform::SystemError on a read or
// write error and std::runtime_error when the package would reach 2 GiB (the list's sizes are
// 32-bit).
PackedFile WritePackage(const std::string& file, const std::string& package, const ReadProgress& progress,
                        unsigned threads = 1);

// How many chunks a file of `size` bytes is compressed in: more threads than this would idle.
uint64_t ChunkCount(uint64_t size);

// The CRC-32 of the file's content. Unlike the launcher's FileCRC32, a file that cannot be
// opened is an error here (platform::SystemError), not an empty file.
uint32_t ContentCrc(const std::string& file, const ReadProgress& progress);

// The SHA-256 of a package already in the site, for a manifest that does not know it yet.
// Raises platform::SystemError.
Sha256Digest PackageSha256(const std::string& package);
