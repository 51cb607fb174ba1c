#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"
#include "transfer/package_sink.h"

class ParallelBzip2Decoder;

// Unpacks a package into its unpacked file while the package arrives, so that unpacking
// overlaps the download, on every core; the worker calls it from its own thread only, and the
// file is written on that thread. What it writes goes to
// the temporary file alone: putting it in place stays the worker's step, after every check.
class PackageUnpacker : public PackageSink {
 public:
  // target: the temporary file; max_size: more unpacked bytes than this raise.
  PackageUnpacker(std::string target, uint64_t max_size);
  ~PackageUnpacker() override;
  PackageUnpacker(const PackageUnpacker&) = delete;
  PackageUnpacker& operator=(const PackageUnpacker&) = delete;

  // The next bytes of the package.
  void Feed(const char* data, size_t size) override;
  // The transfer starts over from the package's first byte: what was unpacked is dropped.
  void StartOver() override;
  // The whole package has arrived: unpacks the rest, reporting how much of the package has
  // been consumed, and flushes the file. Returns the CRC-32 of the unpacked bytes; raises on a
  // damaged or incomplete package.
  uint32_t Finish(const std::function<void(uint64_t consumed)>& progress);

 private:
  void Write(const char* data, size_t size);

  std::string target_;
  uint64_t max_size_;
  std::optional<platform::File> file_;
  std::unique_ptr<ParallelBzip2Decoder> decoder_;
  uint32_t crc_ = 0;
  uint64_t written_ = 0;
  std::exception_ptr failure_;  // what Feed found, raised by Finish
};
