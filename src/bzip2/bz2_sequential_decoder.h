#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// libbz2 alone over a bzip2 stream fed in pieces, with TBZDecompressionStream's verdicts and
// exception types: a library error raises EBZCompressionError ("error -4"), a stream that ends
// before its end mark or has bytes after it raises EBZDecompressionError. Output goes to emit
// on the feeding thread as libbz2 produces it, also the part produced just before an error,
// after its first `skip` bytes are left out.
class Bz2SequentialDecoder {
 public:
  using Emit = std::function<void(const char* data, size_t size)>;

  Bz2SequentialDecoder(Emit emit, uint64_t skip);
  ~Bz2SequentialDecoder();
  Bz2SequentialDecoder(const Bz2SequentialDecoder&) = delete;
  Bz2SequentialDecoder& operator=(const Bz2SequentialDecoder&) = delete;

  void Feed(const uint8_t* data, size_t size);
  // The input has ended.
  void Finish();
  // Input bytes libbz2 has taken so far.
  uint64_t Consumed() const;

 private:
  void Decode();
  size_t Call();
  void Deliver(size_t produced);

  struct State;
  std::unique_ptr<State> state_;
  Emit emit_;
  uint64_t skip_;
  std::vector<char> output_;
  bool ended_ = false;
};
