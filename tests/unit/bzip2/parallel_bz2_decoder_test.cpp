#include "bzip2/parallel_bz2_decoder.h"

#include <gtest/gtest.h>
#include <bzlib.h>

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bzip2/bz_stream.h"

namespace {

std::string Compress(std::string_view data, int level) {
  std::string out(data.size() + data.size() / 100 + 600, '\0');
  auto size = static_cast<unsigned>(out.size());
  if (BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(data.data()), static_cast<unsigned>(data.size()),
                               level, 0, 0) != BZ_OK) {
    throw std::runtime_error("bzip2 compression failed");
  }
  out.resize(size);
  return out;
}

std::string Incompressible(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(random());
  return data;
}

// Words of a small vocabulary: text that packs about as well as a game's text files.
std::string Text(size_t size, unsigned seed) {
  static const char* const kWords[] = {"sword ", "shield ", "potion ", "of ", "the ", "dragon ", "level ",
                                       "gold ", "quest\n", "guild ", "north ", "castle ", "1024 ", "mana "};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += kWords[random() % std::size(kWords)];
  text.resize(size);
  return text;
}

// At level 1 a block takes 99,981 symbols. Bytes drawn with no run longer than three are one
// symbol each, so block k of such data holds its bytes [99981 k, 99981 (k + 1)).
constexpr size_t kLevel1Block = 99981;

std::string Drawn(std::string_view alphabet, size_t size, std::mt19937& random) {
  std::string data;
  while (data.size() < size) {
    const char c = alphabet[random() % alphabet.size()];
    const size_t n = data.size();
    if (n >= 3 && data[n - 1] == c && data[n - 2] == c && data[n - 3] == c) continue;
    data += c;
  }
  return data;
}

// A block's mapping table is a 16-bit map of the 16-byte groups in use, then a 16-bit map of
// the bytes used in each such group. A block using exactly these bytes has the groups 2, 3, 7,
// 9 and 15 (0x3141) and in the first two the maps 0x5926 and 0x5359: its table spells the
// block mark. The second set spells the end mark (0x1772, 0x4538, 0x5090).
const std::string kSpellsBlockMark("\x21\x23\x24\x27\x2A\x2D\x2E\x31\x33\x36\x37\x39\x3B\x3C\x3F\x70\x90\xF0");
const std::string kSpellsEndMark("\x31\x35\x37\x3A\x3B\x3C\x51\x53\x58\x5B\x60\x70\x90\xA0\xB0\xE0");
const std::string kLetters("abcdefghijklmnopqrstuvwxyz");

// Level-1 content whose blocks use the given alphabets, one after the other.
std::string Blocks(const std::vector<std::string_view>& alphabets, unsigned seed) {
  std::mt19937 random(seed);
  std::string data;
  for (std::string_view alphabet : alphabets) data += Drawn(alphabet, kLevel1Block, random);
  return data;
}

// Runs of one byte that a block edge cuts, and runs of every length around the run limits.
std::string Runs() {
  std::string data = Text(kLevel1Block - 1000, 7) + std::string(100000, 'a') + Text(kLevel1Block - 3000, 8);
  for (size_t length = 1; length < 600; length += 7) data += std::string(length, static_cast<char>('A' + length % 26));
  return data + std::string(250000, 'z') + Text(5000, 9);
}

struct Mark {
  uint64_t bit;
  bool end;
};

// Every place where a mark's bit pattern occurs, found bit by bit.
std::vector<Mark> MarksIn(std::string_view package) {
  std::vector<Mark> marks;
  uint64_t window = 0;
  for (uint64_t bit = 0; bit < package.size() * 8; ++bit) {
    window = (window << 1 | (static_cast<uint8_t>(package[bit / 8]) >> (7 - bit % 8) & 1)) & 0xFFFFFFFFFFFF;
    if (bit >= 47 && (window == 0x314159265359 || window == 0x177245385090)) marks.push_back({bit - 47, window == 0x177245385090});
  }
  return marks;
}

std::string FlipBit(std::string package, uint64_t bit) {
  package[bit / 8] = static_cast<char>(package[bit / 8] ^ (0x80 >> bit % 8));
  return package;
}

struct Outcome {
  std::string bytes;
  std::string error;  // the exception's type, empty when the package was accepted
  uint64_t consumed = 0;
  uint64_t output_size = 0;
  bool sequential = false;
};

template <typename Action>
std::string ErrorOf(const Action& action) {
  try {
    action();
  } catch (const EBZCompressionError&) {
    return "EBZCompressionError";
  } catch (const EBZDecompressionError&) {
    return "EBZDecompressionError";
  }
  return "";
}

// The sequential path, reading as the worker does.
Outcome WithStream(const std::string& package) {
  Outcome outcome;
  outcome.error = ErrorOf([&] {
    TBytesStream source(package);
    TBZDecompressionStream stream(source);
    std::string buffer(65536, '\0');
    while (size_t got = stream.Read(buffer.data(), buffer.size())) outcome.bytes.append(buffer.data(), got);
  });
  return outcome;
}

// Everything libbz2 writes before it stops, whatever stops it.
std::string LibraryOutput(const std::string& package) {
  bz_stream bz{};
  BZ2_bzDecompressInit(&bz, 0, 0);
  bz.next_in = const_cast<char*>(package.data());
  bz.avail_in = static_cast<unsigned>(package.size());
  std::string out, buffer(1 << 20, '\0');
  for (;;) {
    bz.next_out = buffer.data();
    bz.avail_out = static_cast<unsigned>(buffer.size());
    const int result = BZ2_bzDecompress(&bz);
    out.append(buffer.data(), buffer.size() - bz.avail_out);
    if (result != BZ_OK || (bz.avail_in == 0 && bz.avail_out > 0)) break;
  }
  BZ2_bzDecompressEnd(&bz);
  return out;
}

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

struct Pieces {
  const char* name;
  std::vector<size_t> sizes;  // used in turn
};
const Pieces kAllAtOnce{"all at once", {SIZE_MAX}};
const Pieces kOneByte{"1 byte", {1}};
const Pieces kOddSizes{"odd sizes", {1, 3, 17, 4099, 65537, 2, 333333}};
const Pieces kTransferSized{"64 KiB", {65536}};

Outcome WithDecoder(const std::string& package, const Pieces& pieces, unsigned threads) {
  Outcome outcome;
  ParallelBzip2Decoder decoder([&](const char* data, size_t size) { outcome.bytes.append(data, size); }, threads);
  outcome.error = ErrorOf([&] {
    size_t offset = 0;
    for (size_t i = 0; offset < package.size(); ++i) {
      const size_t size = std::min(pieces.sizes[i % pieces.sizes.size()], package.size() - offset);
      decoder.Feed(package.data() + offset, size);
      offset += size;
    }
    decoder.Finish();
  });
  outcome.consumed = decoder.InputConsumed();
  outcome.output_size = decoder.OutputSize();
  outcome.sequential = decoder.DecodedSequentially();
  return outcome;
}

// The decoder gives what libbz2 gives: TBZDecompressionStream's verdict, its bytes when it
// accepts, and when it refuses everything libbz2 produced before stopping (of which the
// stream delivered a prefix). Exactly so for these packages, whose damage libbz2 finds
// between blocks or at a block's end.
void ExpectAsLibbz2(const std::string& what, const std::string& package, const std::vector<unsigned>& thread_counts,
                    const std::vector<Pieces>& feeds) {
  const Outcome expected = WithStream(package);
  const std::string produced = expected.error.empty() ? expected.bytes : LibraryOutput(package);
  ASSERT_EQ(produced.compare(0, expected.bytes.size(), expected.bytes), 0) << what;
  for (unsigned threads : thread_counts) {
    for (const Pieces& pieces : feeds) {
      if (pieces.sizes[0] == 1 && package.size() > (size_t{64} << 10)) continue;  // small packages take the same paths, faster
      SCOPED_TRACE(what + ", " + std::to_string(threads) + " threads, " + pieces.name);
      const Outcome ours = WithDecoder(package, pieces, threads);
      EXPECT_EQ(ours.error, expected.error);
      EXPECT_EQ(ours.bytes.size(), produced.size());
      EXPECT_TRUE(ours.bytes == produced);
      EXPECT_EQ(ours.output_size, ours.bytes.size());
      if (expected.error.empty()) {
        EXPECT_EQ(ours.consumed, package.size());
      }
    }
  }
}

const std::vector<unsigned> kThreadCounts{1, 2, 3};
const std::vector<Pieces> kFeeds{kAllAtOnce, kOneByte, kOddSizes, kTransferSized};

}  // namespace

// The test data's marks by chance are where the mapping table says: 105 bits into the block.
TEST(ParallelBzip2Decoder, TestAlphabetsSpellMarks) {
  for (bool end : {false, true}) {
    const std::vector<Mark> marks = MarksIn(Compress(Blocks({kLetters, end ? kSpellsEndMark : kSpellsBlockMark}, 17), 1));
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[2].bit, marks[1].bit + 105);
    EXPECT_EQ(marks[2].end, end);
  }
}

TEST(ParallelBzip2Decoder, GivesLibbz2sBytesAndVerdict) {
  const std::string many = Compress(Text(1'500'000, 2), 1);
  const std::vector<Mark> marks = MarksIn(many);
  ASSERT_EQ(marks.size(), 17u);  // 16 blocks and the end mark, no mark by chance
  const uint64_t end_mark = marks.back().bit;
  struct Case {
    const char* what;
    std::string package;
  };
  const Case cases[] = {
      {"empty", ""},
      {"one byte", "B"},
      {"a header alone", "BZh9"},
      {"a level out of range", "BZh0" + Compress("abc", 9).substr(4)},
      {"not bzip2", "PK\x03\x04 no bzip2 stream here"},
      {"nothing packed", Compress("", 9)},
      {"a tiny stream", Compress("hello", 9)},
      {"many blocks", many},
      {"many blocks, small enough to feed byte by byte", Compress(Text(600'000, 16), 1)},
      {"runs across block edges", Compress(Runs(), 1)},
      {"mostly zeros", Compress(std::string(size_t{12} << 20, '\0') + "end", 1)},
      {"random", Compress(Incompressible(700000, 3), 1)},
      {"a block mark by chance in the third block", Compress(Blocks({kLetters, kLetters, kSpellsBlockMark, kLetters}, 4), 1)},
      {"a block mark by chance in the first block", Compress(Blocks({kSpellsBlockMark, kLetters}, 5), 1)},
      {"an end mark by chance", Compress(Blocks({kLetters, kLetters, kSpellsEndMark, kLetters}, 6), 1)},
      {"cut at a block edge", many.substr(0, marks[5].bit / 8)},
      {"cut just after a block mark", many.substr(0, marks[5].bit / 8 + 7)},
      {"cut mid-block", many.substr(0, (marks[5].bit + marks[6].bit) / 16)},
      {"cut in the end mark", many.substr(0, end_mark / 8 + 3)},
      {"cut in the combined CRC", many.substr(0, many.size() - 2)},
      {"a wrong combined CRC", FlipBit(many, end_mark + 48 + 9)},
      {"a wrong block CRC", FlipBit(many, marks[3].bit + 48 + 9)},
      {"a damaged end mark", FlipBit(many, end_mark + 20)},
      {"a damaged block mark", FlipBit(many, marks[4].bit + 20)},
      {"a byte after the end", many + "x"},
      {"two streams", many + Compress("more", 9)},
  };
  for (const Case& c : cases) ExpectAsLibbz2(c.what, c.package, kThreadCounts, kFeeds);
}

// A flipped bit in a block's CRC, in its middle and near its end: the damaged block is in
// doubt, and libbz2 alone takes over at its start after the blocks before it were delivered.
TEST(ParallelBzip2Decoder, RefusesADamagedBlockWhereverItIs) {
  const std::string package = Compress(Text(900'000, 10), 1);
  const std::vector<Mark> marks = MarksIn(package);
  ASSERT_EQ(marks.size(), 11u);
  for (size_t k = 0; k + 1 < marks.size(); ++k) {
    const uint64_t length = marks[k + 1].bit - marks[k].bit;
    for (uint64_t offset : {uint64_t{60}, length / 2, length - 3}) {
      ExpectAsLibbz2("block " + std::to_string(k) + " bit " + std::to_string(offset),
                     FlipBit(package, marks[k].bit + offset), {2}, {kAllAtOnce, kOddSizes});
    }
  }
}

TEST(ParallelBzip2Decoder, DecodesASoundPackageWithoutFallingBack) {
  const std::string content = Text(1'000'000, 11);
  for (const std::string& package : {Compress(content, 1), Compress(content, 5)}) {
    for (const Pieces& pieces : {kAllAtOnce, kOddSizes}) {
      const Outcome ours = WithDecoder(package, pieces, 2);
      EXPECT_EQ(ours.error, "");
      EXPECT_TRUE(ours.bytes == content);
      EXPECT_FALSE(ours.sequential);
    }
  }
  // One block gains nothing from threads; a mark by chance puts its block in doubt.
  EXPECT_TRUE(WithDecoder(Compress("hello", 9), kAllAtOnce, 2).sequential);
  EXPECT_TRUE(WithDecoder(Compress(Blocks({kLetters, kSpellsBlockMark}, 12), 1), kAllAtOnce, 2).sequential);
}

// Feed keeps at most 6 MiB of package: whatever it has not delivered yet lies within the
// last 6 MiB fed.
TEST(ParallelBzip2Decoder, DeliversWhileThePackageArrives) {
  const std::string content = Incompressible(size_t{12} << 20, 13);
  const std::string package = Compress(content, 1);
  std::string out;
  ParallelBzip2Decoder decoder([&](const char* data, size_t size) { out.append(data, size); }, 2);
  const size_t piece = 1 << 20;
  for (size_t offset = 0; offset < package.size(); offset += piece) {
    const size_t size = std::min(piece, package.size() - offset);
    decoder.Feed(package.data() + offset, size);
    EXPECT_GE(decoder.InputConsumed() + (size_t{6} << 20), offset + size);
    EXPECT_EQ(decoder.OutputSize(), out.size());
  }
  decoder.Finish();
  EXPECT_TRUE(out == content);
  EXPECT_EQ(decoder.InputConsumed(), package.size());
  EXPECT_FALSE(decoder.DecodedSequentially());
}

// Blocks of zeros unpack to about 45 MB each from a few dozen bytes: they stream through,
// and blocks decoded ahead wait once 8 MiB of output is held.
TEST(ParallelBzip2Decoder, HoldsBoundedOutputForBlocksThatUnpackToMuch) {
  const size_t size = size_t{128} << 20;
  const std::string package = Compress(std::string(size, '\0'), 9);
  ASSERT_LT(package.size(), 1000u);
  uint64_t nonzero = 0;
  ParallelBzip2Decoder decoder(
      [&](const char* data, size_t n) { nonzero += static_cast<uint64_t>(n - std::count(data, data + n, '\0')); }, 3);
  decoder.Feed(package.data(), package.size());
  decoder.Finish();
  EXPECT_EQ(decoder.OutputSize(), size);
  EXPECT_EQ(nonzero, 0u);
  EXPECT_FALSE(decoder.DecodedSequentially());
  EXPECT_LE(decoder.PeakBufferedOutput(), (size_t{17} << 20) / 2);
}

// Whatever the sink raises comes out of Feed or Finish as it was, in every mode: threads at
// work, sequential from the start, and sequential after a block in doubt. The decoder is then
// only good for destroying.
TEST(ParallelBzip2Decoder, ASinkThatRaisesStopsDecoding) {
  struct Stop {};
  const std::string sound = Compress(Text(1'500'000, 14), 1);
  const std::string in_doubt = Compress(Blocks({kLetters, kLetters, kSpellsBlockMark, kLetters}, 15), 1);
  for (const std::string* package : {&sound, &in_doubt}) {
    for (unsigned threads : {1u, 2u, 4u}) {
      for (uint64_t limit : {uint64_t{0}, uint64_t{150000}, uint64_t{350000}}) {
        SCOPED_TRACE(std::to_string(threads) + " threads, raising after " + std::to_string(limit));
        uint64_t received = 0;
        auto decoder = std::make_unique<ParallelBzip2Decoder>(
            [&](const char*, size_t size) {
              if (received >= limit) throw Stop{};
              received += size;
            },
            threads);
        bool stopped = false;
        try {
          for (size_t offset = 0; offset < package->size(); offset += 4099) {
            decoder->Feed(package->data() + offset, std::min<size_t>(4099, package->size() - offset));
          }
          decoder->Finish();
        } catch (const Stop&) {
          stopped = true;
        }
        EXPECT_TRUE(stopped);
        EXPECT_THROW(decoder->Feed("x", 1), std::logic_error);
        EXPECT_THROW(decoder->Finish(), std::logic_error);
        decoder.reset();
      }
    }
  }
}

// A damaged block that libbz2 finds only while writing it out: it then reports less of its last
// call than it wrote, and how much depends on its output buffer, so the decoder, resuming at a
// block edge with buffers placed differently, may give a little less or more of that block.
// The verdict is the same, and the bytes agree as far as both go. (Found by the fuzz target.)
TEST(ParallelBzip2Decoder, ADamagedBlockFoundWhileWrittenOutGivesTheSameVerdict) {
  const std::string package = FromHex(
      "425a6831314159265359ce714a1900078281803ffffff03000f8028000032641400001932029550d0326803469ac8156"
      "5b540ab7281560a055bd40ab8281571502ae4a055cd40ab1502ac940ab1902ae920559c81575902aed2055de40abc481"
      "579902af52055ee40abe4815692055f640abf48156b2055fcc50564994d66e7bbc054002b646282b24ca6b3000100010"
      "000c002c0534c8c4c4c4135550c8da087a14d3231353133288963c9444bd1444b428896a5112f65112f85112d8a22582"
      "8896d28896f28997128897328897528897d9444bf4a225fe5112cca225d98a0ac9329acf38ab7490001e0c0c01ffffff"
      "818006d8a280000326409a96d28896f28897128897328897528897d9444bf4a225fe5112cca225d98a0ac9329acb38ab"
      "7490001e0c0c01ffffff818006d8a280000326409aaa801a6434aa1e68157aa055ee8157ca055a504352aa1f4aa87e2a"
      "a1fc5dc914e14240b4369b78");
  const std::string produced = LibraryOutput(package);
  const Outcome expected = WithStream(package);
  ASSERT_EQ(expected.error, "EBZCompressionError");
  for (unsigned threads : kThreadCounts) {
    for (const Pieces& pieces : kFeeds) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " + pieces.name);
      const Outcome ours = WithDecoder(package, pieces, threads);
      EXPECT_EQ(ours.error, expected.error);
      const size_t common = std::min(ours.bytes.size(), produced.size());
      EXPECT_GT(common, 0u);
      EXPECT_EQ(ours.bytes.compare(0, common, produced, 0, common), 0);
    }
  }
}
