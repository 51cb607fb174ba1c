#include "bzip2/bz2_candidate.h"

#include <algorithm>

#include "bzip2/libbz2_decompressor.h"

namespace {

constexpr unsigned kHeaderBits = 32;
// After a block mark: the mark and the next block's CRC. libbz2 then reads the randomised bit
// and the first bytes of the 24-bit origPtr; a byte boundary comes before origPtr is complete,
// so no check of the next block's contents can fail the candidate.
constexpr unsigned kBlockMarkFollowBits = kBz2MarkBits + 32;
// Input handed to libbz2 at once while the block is read, so that a stop is noticed soon.
constexpr size_t kReadSlice = 64 << 10;

uint64_t RoundUpToByte(uint64_t bits) { return (bits + 7) / 8 * 8; }

void AppendBits(std::vector<uint8_t>& out, uint64_t& bit_length, uint64_t value, unsigned count) {
  for (unsigned i = count; i-- > 0;) {
    if (bit_length % 8 == 0) out.push_back(0);
    if (value >> i & 1) out.back() |= static_cast<uint8_t>(0x80 >> bit_length % 8);
    ++bit_length;
  }
}

}  // namespace

uint64_t Bz2CandidateEnd(uint64_t begin_bit, const Bz2Mark& next) {
  if (next.end_of_stream) return next.bit + kBz2MarkBits;
  // Up to a byte boundary of the candidate's stream, so that its last byte holds no padding
  // libbz2 could take for the package's bits.
  const uint64_t length = RoundUpToByte(kHeaderBits + (next.bit + kBlockMarkFollowBits - begin_bit)) - kHeaderBits;
  return begin_bit + length;
}

Bz2Candidate MakeBz2Candidate(const Bz2InputWindow& window, uint8_t level_digit, uint64_t begin_bit,
                              const Bz2Mark& next) {
  Bz2Candidate candidate;
  candidate.begin_bit = begin_bit;
  candidate.next = next;
  candidate.block_crc = static_cast<uint32_t>(window.Bits(begin_bit + kBz2MarkBits, 32).value_or(0));
  const uint64_t end = Bz2CandidateEnd(begin_bit, next);
  candidate.stream = {'B', 'Z', 'h', level_digit};
  candidate.stream.reserve(static_cast<size_t>(4 + (end - begin_bit) / 8 + 6));
  window.AppendRealigned(begin_bit, end, candidate.stream);
  if (next.end_of_stream) {
    uint64_t bit_length = kHeaderBits + (end - begin_bit);
    AppendBits(candidate.stream, bit_length, candidate.block_crc, 32);
  }
  candidate.own_bytes = static_cast<size_t>((kHeaderBits + (next.bit + kBz2MarkBits - begin_bit)) / 8);
  return candidate;
}

// The block's first output byte is asked for while libbz2 only has the package's own bits up
// to the end of the next mark: libbz2 writes output only once it has read the whole block, so
// that byte proves the block ended within them and everything it outputs is what it outputs in
// the package. A block that ends where no mark follows fails on its way into the next header.
bool DecodeBz2Candidate(const Bz2Candidate& candidate, std::vector<char> chunk, const Bz2ChunkSink& deliver,
                        Bz2MemoryCache& memory, const std::atomic<bool>& stop) {
  if (!candidate.decodable || chunk.empty()) return false;
  LibBz2Decompressor decoder(&memory);
  if (decoder.InitResult() != BZ_OK) return false;
  bz_stream& bz = decoder.Stream();
  char* const input = reinterpret_cast<char*>(const_cast<uint8_t*>(candidate.stream.data()));
  bz.next_in = input;
  bz.next_out = chunk.data();
  bz.avail_out = 1;
  while (bz.avail_out == 1) {
    const size_t own_left = candidate.own_bytes - static_cast<size_t>(bz.next_in - input);
    if (own_left == 0 || stop) return false;
    bz.avail_in = static_cast<unsigned>(std::min(own_left, kReadSlice));
    if (BZ2_bzDecompress(&bz) != BZ_OK) return false;
    if (bz.avail_out == 1 && bz.avail_in > 0) return false;
  }
  bz.avail_in = static_cast<unsigned>(candidate.stream.size() - static_cast<size_t>(bz.next_in - input));
  size_t filled = 1;
  for (;;) {
    if (stop) return false;
    bz.next_out = chunk.data() + filled;
    bz.avail_out = static_cast<unsigned>(chunk.size() - filled);
    const int result = BZ2_bzDecompress(&bz);
    filled = chunk.size() - bz.avail_out;
    if (result < 0) return false;
    const bool out_of_input = result == BZ_OK && bz.avail_in == 0 && bz.avail_out > 0;
    if (result == BZ_STREAM_END || out_of_input) {
      if ((result == BZ_STREAM_END) != candidate.next.end_of_stream) return false;
      chunk.resize(filled);
      return chunk.empty() || deliver(chunk);
    }
    if (filled == chunk.size()) {
      if (!deliver(chunk) || chunk.empty()) return false;
      filled = 0;
    }
  }
}
