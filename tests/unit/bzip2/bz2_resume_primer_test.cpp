#include <gtest/gtest.h>
#include <bzlib.h>

#include <random>
#include <string>
#include <vector>

#include "bzip2/bz2_marks.h"
#include "bzip2/bz2_resume_primer.h"

namespace {

void AppendBits(std::vector<uint8_t>& bytes, uint64_t& bit, uint64_t value, unsigned count) {
  for (unsigned i = count; i-- > 0; ++bit) {
    if (bit % 8 == 0 && bit / 8 == bytes.size()) bytes.push_back(0);
    if (value >> i & 1) bytes[bit / 8] |= static_cast<uint8_t>(0x80 >> bit % 8);
  }
}

}  // namespace

TEST(Bz2BlockCrc, IsBzip2sChecksum) {
  const std::string check = "123456789";
  EXPECT_EQ(Bz2BlockCrc(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xFC891918u);  // CRC-32/BZIP2
}

// A primer followed right away by an end mark that stores the combined CRC asked for is a
// complete stream libbz2 accepts: the primer leaves that combined CRC, ends at the bit asked
// for, and unpacks to the size it tells.
TEST(Bz2ResumePrimer, LeavesTheCombinedCrcAtTheBitAskedFor) {
  std::mt19937 random(11);
  for (uint32_t crc : {0u, 0xFFFFFFFFu, 0x31415926u, static_cast<uint32_t>(random()), static_cast<uint32_t>(random())}) {
    for (unsigned phase = 0; phase < 8; ++phase) {
      const Bz2ResumePrimer primer = MakeBz2ResumePrimer('7', crc, phase);
      ASSERT_GE(primer.bytes.size(), 4u);
      EXPECT_EQ(std::string(primer.bytes.begin(), primer.bytes.begin() + 4), "BZh7");
      EXPECT_EQ(primer.tail_bits, phase);
      std::vector<uint8_t> stream = primer.bytes;
      uint64_t bit = stream.size() * 8 - (phase == 0 ? 0 : 8 - phase);
      AppendBits(stream, bit, kBz2EndMark, 48);
      AppendBits(stream, bit, crc, 32);
      std::string out(primer.output_size + 1, '\0');
      auto size = static_cast<unsigned>(out.size());
      EXPECT_EQ(BZ2_bzBuffToBuffDecompress(out.data(), &size, reinterpret_cast<char*>(stream.data()),
                                           static_cast<unsigned>(stream.size()), 0, 0),
                BZ_OK)
          << std::hex << crc << " at bit " << phase;
      EXPECT_EQ(size, primer.output_size);
    }
  }
}
