#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bzip2/bz2_marks.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

void WriteBits(std::vector<uint8_t>& bytes, uint64_t bit, uint64_t value, unsigned count) {
  for (unsigned i = 0; i < count; ++i, ++bit) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> bit % 8);
    if (value >> (count - 1 - i) & 1) {
      bytes[bit / 8] |= mask;
    } else {
      bytes[bit / 8] &= static_cast<uint8_t>(~mask);
    }
  }
}

std::vector<Bz2Mark> BitByBit(const std::vector<uint8_t>& bytes) {
  std::vector<Bz2Mark> marks;
  uint64_t window = 0;
  for (uint64_t bit = 0; bit < bytes.size() * 8; ++bit) {
    window = (window << 1 | (bytes[bit / 8] >> (7 - bit % 8) & 1)) & ((uint64_t{1} << 48) - 1);
    if (bit + 1 < 48 || bit + 1 - 48 < kBz2FirstBlockBit) continue;
    if (window == kBz2BlockMark || window == kBz2EndMark) marks.push_back({bit + 1 - 48, window == kBz2EndMark});
  }
  return marks;
}

std::string Describe(const std::vector<Bz2Mark>& marks) {
  std::string text;
  for (const Bz2Mark& mark : marks) text += std::to_string(mark.bit) + (mark.end_of_stream ? "E " : "B ");
  return text;
}

}  // namespace

// Marks at every bit of a byte, marks that overlap each other, marks in the last bits and one
// cut by the end: the scanner, fed in pieces of many sizes and dropping what it has passed,
// finds exactly what a search bit by bit finds.
TEST(Bz2MarkScanner, FindsEveryMarkAtAnyBitAsTheInputGrows) {
  std::vector<uint8_t> bytes = RandomBytes(200000, 5);
  uint64_t bit = 40;
  for (unsigned i = 0; i < 40; ++i, bit += 1000 + i * 8 + i % 8) WriteBits(bytes, bit, i % 3 ? kBz2BlockMark : kBz2EndMark, 48);
  WriteBits(bytes, 150000, kBz2BlockMark, 48);
  WriteBits(bytes, 150000 + 24, kBz2EndMark, 48);  // starts inside the one before
  WriteBits(bytes, bytes.size() * 8 - 48 - 41, kBz2EndMark, 48);
  WriteBits(bytes, bytes.size() * 8 - 40, kBz2BlockMark >> 8, 40);  // would end past the input
  const std::vector<Bz2Mark> expected = BitByBit(bytes);
  ASSERT_GT(expected.size(), 40u);

  for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}, bytes.size()}) {
    Bz2InputWindow window(bytes.size());
    Bz2MarkScanner scanner;
    std::vector<Bz2Mark> found;
    for (size_t offset = 0; offset < bytes.size(); offset += piece) {
      window.Append(bytes.data() + offset, std::min(piece, bytes.size() - offset));
      scanner.Scan(window, false, found, 1000);
      EXPECT_LE(scanner.ScannedBits(), std::max(kBz2FirstBlockBit, window.End() * 8));
      window.DropBefore(scanner.ScannedBits() / 8);
    }
    scanner.Scan(window, true, found, 1000);
    EXPECT_EQ(Describe(found), Describe(expected)) << "pieces of " << piece;
  }
}

TEST(Bz2MarkScanner, StopsAfterEnoughMarksAndGoesOnLater) {
  std::vector<uint8_t> bytes = RandomBytes(10000, 6);
  for (unsigned i = 0; i < 10; ++i) WriteBits(bytes, 64 + i * 5000 + i, kBz2BlockMark, 48);
  Bz2InputWindow window(bytes.size());
  window.Append(bytes.data(), bytes.size());
  Bz2MarkScanner scanner;
  std::vector<Bz2Mark> found;
  scanner.Scan(window, true, found, 3);
  EXPECT_GE(found.size(), 3u);
  EXPECT_LT(found.size(), 10u);
  while (found.size() < 10) scanner.Scan(window, true, found, 3);
  EXPECT_EQ(Describe(found), Describe(BitByBit(bytes)));
}
