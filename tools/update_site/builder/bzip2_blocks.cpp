#include "update_site/builder/bzip2_blocks.h"

#include <bzlib.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "bzip2/bz2_memory_cache.h"

namespace {

constexpr uint64_t kBlockMagic = 0x314159265359;
constexpr uint64_t kEndMagic = 0x177245385090;
constexpr uint64_t kHeaderBits = 32;  // "BZh9"
constexpr char kHeader[] = {'B', 'Z', 'h', '9'};

// `count` bits (at most 64) from bit `at`, the first bit being the top bit of byte 0, as bzip2
// writes them.
uint64_t BitsAt(const std::vector<unsigned char>& bytes, uint64_t at, int count) {
  uint64_t value = 0;
  for (uint64_t bit = at; bit < at + static_cast<uint64_t>(count); ++bit) {
    value = (value << 1) | ((bytes[bit / 8] >> (7 - bit % 8)) & 1u);
  }
  return value;
}

// The block ends where the end-of-stream magic begins; after the magic come the stream's CRC
// (the block's own, for one block) and zero to seven bits of padding. The magic does not
// overlap itself at a shift below eight bits, so at most one padding fits.
uint64_t BlockBits(const Bzip2Block& block) {
  const uint64_t total = block.stream.size() * 8;
  for (int padding = 0; padding < 8 && total >= kHeaderBits + 80 + padding; ++padding) {
    const uint64_t end = total - padding - 80;
    if (BitsAt(block.stream, end, 48) == kEndMagic && BitsAt(block.stream, end + 48, 32) == block.crc &&
        BitsAt(block.stream, end + 80, padding) == 0) {
      return end - kHeaderBits;
    }
  }
  throw std::logic_error("a chunk of " + std::to_string(block.source_size) + " bytes did not compress to one bzip2 block");
}

// libbz2's working memory at level 9 (about 7.5 MB), kept for the next chunk: taking it afresh
// from the system for every chunk costs page faults worth a tenth of the compression. The
// shelf holds one cache for each compressor that ran at the same time. Not a thread_local:
// MinGW's runtime may free a thread_local's storage before its destructor runs at thread exit,
// and the heap it then corrupts hung update-site.exe.
class MemoryShelf {
 public:
  static std::unique_ptr<Bz2MemoryCache> Take() {
    std::lock_guard lock(mutex_);
    if (shelf_.empty()) return std::make_unique<Bz2MemoryCache>();
    std::unique_ptr<Bz2MemoryCache> memory = std::move(shelf_.back());
    shelf_.pop_back();
    return memory;
  }
  static void Put(std::unique_ptr<Bz2MemoryCache> memory) {
    std::lock_guard lock(mutex_);
    shelf_.push_back(std::move(memory));
  }

 private:
  static inline std::mutex mutex_;
  static inline std::vector<std::unique_ptr<Bz2MemoryCache>> shelf_;
};

// One bzip2 stream at level 9 with reused memory; ended whatever happens.
class ChunkCompressor {
 public:
  ChunkCompressor() : memory_(MemoryShelf::Take()) {
    bz_.bzalloc = Bz2MemoryCache::Allocate;
    bz_.bzfree = Bz2MemoryCache::Free;
    bz_.opaque = memory_.get();
    int result = BZ2_bzCompressInit(&bz_, 9, 0, 0);
    if (result != BZ_OK) {
      MemoryShelf::Put(std::move(memory_));
      throw std::runtime_error("bzip2 cannot start (error " + std::to_string(result) + ")");
    }
  }
  ~ChunkCompressor() {
    BZ2_bzCompressEnd(&bz_);
    MemoryShelf::Put(std::move(memory_));
  }
  ChunkCompressor(const ChunkCompressor&) = delete;
  ChunkCompressor& operator=(const ChunkCompressor&) = delete;

  std::vector<unsigned char> Compress(const char* data, size_t size) {
    // libbz2's documented bound: 1% more than the input and 600 bytes.
    std::vector<unsigned char> out(size + size / 100 + 600);
    bz_.next_in = const_cast<char*>(data);
    bz_.avail_in = static_cast<unsigned>(size);
    bz_.next_out = reinterpret_cast<char*>(out.data());
    bz_.avail_out = static_cast<unsigned>(out.size());
    int result = BZ_FINISH_OK;
    while (result == BZ_FINISH_OK && bz_.avail_out > 0) result = BZ2_bzCompress(&bz_, BZ_FINISH);
    if (result != BZ_STREAM_END) throw std::runtime_error("bzip2 failed (error " + std::to_string(result) + ")");
    out.resize(out.size() - bz_.avail_out);
    return out;
  }

 private:
  std::unique_ptr<Bz2MemoryCache> memory_;
  bz_stream bz_{};
};

}  // namespace

Bzip2Block CompressChunk(const char* data, size_t size) {
  Bzip2Block block;
  block.source_size = size;
  block.stream = ChunkCompressor().Compress(data, size);
  if (size == 0 || block.stream.size() < 14 || BitsAt(block.stream, kHeaderBits, 48) != kBlockMagic) {
    throw std::logic_error("a chunk of " + std::to_string(size) + " bytes gave no bzip2 block");
  }
  block.crc = static_cast<uint32_t>(BitsAt(block.stream, kHeaderBits + 48, 32));
  block.block_bits = BlockBits(block);
  return block;
}

Bzip2StreamJoiner::Bzip2StreamJoiner(Sink sink) : sink_(std::move(sink)) {
  ready_.assign(std::begin(kHeader), std::end(kHeader));
}

// The block starts on a byte boundary in its own stream, so it is copied byte by byte, shifted
// by however many bits the joined stream has pending.
void Bzip2StreamJoiner::Append(const Bzip2Block& block) {
  const unsigned char* bits = block.stream.data() + kHeaderBits / 8;
  const uint64_t whole_bytes = block.block_bits / 8;
  const int rest = static_cast<int>(block.block_bits % 8);
  ready_.reserve(ready_.size() + whole_bytes + 1);
  for (uint64_t i = 0; i < whole_bytes; ++i) {
    ready_.push_back(static_cast<char>(pending_ | (bits[i] >> pending_count_)));
    pending_ = (bits[i] << (8 - pending_count_)) & 0xFFu;
  }
  if (rest > 0) PutBits(bits[whole_bytes] >> (8 - rest), rest);
  combined_crc_ = ((combined_crc_ << 1) | (combined_crc_ >> 31)) ^ block.crc;
  Deliver();
}

void Bzip2StreamJoiner::Finish() {
  PutBits(kEndMagic, 48);
  PutBits(combined_crc_, 32);
  if (pending_count_ > 0) ready_.push_back(static_cast<char>(pending_));
  pending_ = 0;
  pending_count_ = 0;
  Deliver();
}

void Bzip2StreamJoiner::PutBits(uint64_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    pending_ |= ((value >> i) & 1u) << (7 - pending_count_);
    if (++pending_count_ == 8) {
      ready_.push_back(static_cast<char>(pending_));
      pending_ = 0;
      pending_count_ = 0;
    }
  }
}

void Bzip2StreamJoiner::Deliver() {
  if (!ready_.empty()) sink_(ready_.data(), ready_.size());
  ready_.clear();
}
