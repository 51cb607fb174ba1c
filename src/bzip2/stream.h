#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

// A byte stream as the unpacking code sees it: read, write, and a position that can be moved.
// Errors raise.
class TStream {
 public:
  virtual ~TStream() = default;
  // Up to count bytes; 0 at the end.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // All bytes; a short write raises.
  virtual void Write(const void* data, size_t count) = 0;
  virtual int64_t Position() const = 0;
  virtual void Seek(int64_t position) = 0;
  virtual int64_t Size() const = 0;
};

// A stream over an open file, which it owns.
class TFileStream : public TStream {
 public:
  explicit TFileStream(platform::File file) : file_(std::move(file)) {}
  size_t Read(void* buffer, size_t count) override { return file_.Read(buffer, count); }
  void Write(const void* data, size_t count) override { file_.Write(data, count); }
  int64_t Position() const override { return file_.Position(); }
  void Seek(int64_t position) override { file_.Seek(position); }
  int64_t Size() const override { return file_.Size(); }
  platform::File& File() { return file_; }

 private:
  platform::File file_;
};

// A read-only stream over bytes in memory, which must outlive it.
class TBytesStream : public TStream {
 public:
  explicit TBytesStream(std::string_view bytes) : bytes_(bytes) {}
  size_t Read(void* buffer, size_t count) override;
  void Write(const void* data, size_t count) override;
  int64_t Position() const override { return static_cast<int64_t>(position_); }
  void Seek(int64_t position) override;
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::string_view bytes_;
  size_t position_ = 0;
};
