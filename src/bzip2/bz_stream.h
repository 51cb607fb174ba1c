#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bzip2/stream.h"

// Errors of the bzip2 streams. The messages are those the user would read in a report.
class EBZip2Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A negative result code of the library while data is read ("error -4").
class EBZCompressionError : public EBZip2Error {
 public:
  using EBZip2Error::EBZip2Error;
};
// The stream could not be set up, was used the wrong way, or is not one complete bzip2 stream.
class EBZDecompressionError : public EBZip2Error {
 public:
  using EBZip2Error::EBZip2Error;
};

// Unpacks one bzip2 stream from a source stream, which must outlive it. The source is read
// from its position at creation in blocks of 131072 bytes; when someone moved its position
// between two blocks, it is set back first. The stream must be complete and be all the rest
// of the source: a source that ends before the stream's end mark, or that holds anything
// after it, raises EBZDecompressionError instead of passing for a shorter file.
class TBZDecompressionStream : public TStream {
 public:
  static constexpr size_t kInputBlock = 131072;

  explicit TBZDecompressionStream(TStream& source);
  ~TBZDecompressionStream() override;
  TBZDecompressionStream(const TBZDecompressionStream&) = delete;
  TBZDecompressionStream& operator=(const TBZDecompressionStream&) = delete;

  // Fills up to count bytes of unpacked data; 0 once the whole stream has been read.
  // OnProgress runs after every call of the decompressor, on the reading thread.
  size_t Read(void* buffer, size_t count) override;
  // Not supported: raise EBZDecompressionError "Invalid stream operation".
  void Write(const void* data, size_t count) override;
  void Seek(int64_t position) override;
  int64_t Size() const override;
  // Unpacked bytes delivered so far.
  int64_t Position() const override;

  std::function<void(TBZDecompressionStream& sender)> OnProgress;

 private:
  void TakeInput();
  void RequireNothingAfterEnd();

  struct State;
  std::unique_ptr<State> state_;
  TStream& source_;
  int64_t source_position_;
  std::vector<char> input_;
  bool exhausted_ = false;
  bool ended_ = false;
};
