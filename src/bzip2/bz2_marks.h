#pragma once
// The two 48-bit marks of a bzip2 stream, which may start at any bit position: each block
// begins with the block mark, and the end-of-stream mark is followed by the combined CRC. The
// same bit patterns can also occur by chance inside compressed data, so a mark found is only a
// place where a block may begin.
#include <cstdint>
#include <vector>

#include "bzip2/bz2_input_window.h"

constexpr uint64_t kBz2BlockMark = 0x314159265359;
constexpr uint64_t kBz2EndMark = 0x177245385090;
constexpr unsigned kBz2MarkBits = 48;
// The stream header "BZh1".."BZh9"; the first block starts right after it.
constexpr uint64_t kBz2FirstBlockBit = 32;

struct Bz2Mark {
  uint64_t bit;  // position in the package, counted in bits from its first byte (most significant bit first)
  bool end_of_stream;
};

// Finds every mark that starts at or after kBz2FirstBlockBit, in order, as the window grows.
// Bytes the window has dropped are never looked at again, so the window must keep what the
// scan has not passed yet.
class Bz2MarkScanner {
 public:
  // Reports the marks that lie wholly in the window and start where the scan has not been;
  // with input_complete, the window holds the package's last byte and the scan goes to its
  // end. Stops early once `enough` marks are found in this call.
  void Scan(const Bz2InputWindow& window, bool input_complete, std::vector<Bz2Mark>& found, size_t enough);
  // Every mark starting before this bit has been reported.
  uint64_t ScannedBits() const;

 private:
  void CheckAround(const Bz2InputWindow& window, uint64_t stride, std::vector<Bz2Mark>& found) const;

  // The next byte pair looked up is (stride_, stride_ + 1); it settles the marks starting in
  // the bits [8 * stride_ - 32, 8 * stride_).
  uint64_t stride_ = 8;
  bool complete_ = false;
};
