#include "bzip2/bz2_marks.h"

#include <array>
#include <limits>

namespace {

// A mark starting at bit 8 * j + s fills the bytes j + 1 .. j + 5 completely, so every mark
// covers a pair of whole bytes (i, i + 1) with i a multiple of 4 in j + 1 .. j + 4. Looking
// up only those pairs in a table of the 64 pairs that marks can produce passes over most of
// the package four bytes at a time; a hit is settled bit by bit.
class PairTable {
 public:
  PairTable() {
    for (uint64_t mark : {kBz2BlockMark, kBz2EndMark}) {
      for (unsigned shift = 0; shift < 8; ++shift) {
        const uint64_t bytes = mark << (8 - shift);  // the 56 bits of bytes j .. j + 6
        for (unsigned k = 1; k <= 4; ++k) {
          const unsigned pair = static_cast<unsigned>(bytes >> (40 - 8 * k)) & 0xFFFF;
          bits_[pair / 64] |= uint64_t{1} << (pair % 64);
        }
      }
    }
  }
  bool Has(uint8_t first, uint8_t second) const {
    const unsigned pair = unsigned{first} << 8 | second;
    return bits_[pair / 64] >> (pair % 64) & 1;
  }

 private:
  std::array<uint64_t, 1024> bits_{};
};

const PairTable& Pairs() {
  static const PairTable table;
  return table;
}

}  // namespace

void Bz2MarkScanner::Scan(const Bz2InputWindow& window, bool input_complete, std::vector<Bz2Mark>& found,
                          size_t enough) {
  if (complete_) return;
  const size_t before = found.size();
  const PairTable& pairs = Pairs();
  // With the whole package in the window, the last strides read past its end: no mark is there.
  const uint64_t last_stride = input_complete ? window.End() + 4 : window.End() - std::min<uint64_t>(window.End(), 6);
  while (stride_ <= last_stride && found.size() - before < enough) {
    if (stride_ + 1 < window.End() && stride_ >= window.Begin()) {
      if (pairs.Has(*window.At(stride_), *window.At(stride_ + 1))) CheckAround(window, stride_, found);
    } else {
      CheckAround(window, stride_, found);
    }
    stride_ += 4;
  }
  if (input_complete && stride_ > last_stride) complete_ = true;
}

void Bz2MarkScanner::CheckAround(const Bz2InputWindow& window, uint64_t stride, std::vector<Bz2Mark>& found) const {
  for (uint64_t bit = stride * 8 - 32; bit < stride * 8; ++bit) {
    if (bit < kBz2FirstBlockBit) continue;
    std::optional<uint64_t> bits = window.Bits(bit, kBz2MarkBits);
    if (bits == kBz2BlockMark || bits == kBz2EndMark) found.push_back({bit, *bits == kBz2EndMark});
  }
}

uint64_t Bz2MarkScanner::ScannedBits() const {
  return complete_ ? std::numeric_limits<uint64_t>::max() : stride_ * 8 - 32;
}
