#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// At level 9 a bzip2 block holds 900000 - 19 bytes after the first run-length stage, which
// writes a run of four equal bytes as five: a chunk of at most this many bytes can never fill
// more than one block, whatever its content.
inline constexpr size_t kBlockCapacity = 9 * 100000 - 19;
inline constexpr size_t kChunkSize = kBlockCapacity * 4 / 5;
static_assert(kChunkSize + kChunkSize / 4 < kBlockCapacity, "a chunk must fit one block in the worst case");

// One chunk compressed on its own as a complete bzip2 stream of exactly one block.
struct Bzip2Block {
  std::vector<unsigned char> stream;  // "BZh9", the block, the end of the stream
  uint64_t block_bits = 0;            // the block's length in bits; it starts at byte 4
  uint32_t crc = 0;                   // the block's own CRC, from its header
  size_t source_size = 0;             // bytes compressed
};

// Compresses 1 to kChunkSize bytes with libbz2 at level 9. Raises std::runtime_error when
// libbz2 fails and std::logic_error when the result is not one block.
Bzip2Block CompressChunk(const char* data, size_t size);

// Joins single-block streams, bit by bit, into one standard bzip2 stream that decodes to the
// chunks' bytes in the order appended. Hands its bytes to `sink` as they are complete.
class Bzip2StreamJoiner {
 public:
  using Sink = std::function<void(const char* data, size_t size)>;

  explicit Bzip2StreamJoiner(Sink sink);
  void Append(const Bzip2Block& block);
  // Writes the end of the stream: its magic, the combined CRC and the padding to a byte.
  void Finish();

 private:
  void PutBits(uint64_t value, int count);
  void Deliver();

  Sink sink_;
  std::vector<char> ready_;
  unsigned pending_ = 0;      // bits not yet a whole byte, at the top of this byte
  int pending_count_ = 0;
  uint32_t combined_crc_ = 0;
};
