#pragma once
#include <cstddef>

// Where the bytes of a followed package go as they arrive, on the worker's thread.
class PackageSink {
 public:
  virtual ~PackageSink() = default;
  // The next bytes of the package.
  virtual void Feed(const char* data, size_t size) = 0;
  // The transfer starts over from the package's first byte: what was fed is dropped.
  virtual void StartOver() = 0;
};

// For a package whose file is read once it is complete.
class IgnoringSink : public PackageSink {
 public:
  void Feed(const char*, size_t) override {}
  void StartOver() override {}
};
