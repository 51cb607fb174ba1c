#include <gtest/gtest.h>

#include <random>

#include "bzip2/bz_stream.h"
#include "unit/updater/updater_fixture.h"

namespace {

std::string ReadAll(TBZDecompressionStream& stream, size_t block = 65536) {
  std::string out, buffer(block, '\0');
  while (size_t got = stream.Read(buffer.data(), buffer.size())) out.append(buffer.data(), got);
  return out;
}

std::string Unpack(const std::string& package) {
  TBytesStream source(package);
  TBZDecompressionStream stream(source);
  return ReadAll(stream);
}

std::string Incompressible(size_t size) {
  std::mt19937 random(7);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(random());
  return data;
}

}  // namespace

TEST(BZDecompressionStream, UnpacksACompleteStream) {
  const std::string data = Incompressible(300000) + std::string(200000, 'a');
  EXPECT_EQ(Unpack(Bzip2(data)), data);
  EXPECT_EQ(Unpack(Bzip2("")), "");
}

TEST(BZDecompressionStream, RefusesWhatIsNotOneCompleteStream) {
  const std::string package = Bzip2(Incompressible(200000));
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"not bzip2", "PK\x03\x04 this is no bzip2 stream at all"},
      {"empty", ""},
      {"cut in the header", package.substr(0, 3)},
      {"cut in the middle", package.substr(0, package.size() / 2)},
      {"cut before the end mark", package.substr(0, package.size() - 4)},
      {"one byte after the end", package + "x"},
      {"a second stream after the end", package + Bzip2("more")},
      {"damaged data", [&] {
         std::string damaged = package;
         damaged[package.size() / 2] ^= 0x55;
         return damaged;
       }()},
  };
  for (const Case& c : cases) EXPECT_THROW(Unpack(c.bytes), EBZip2Error) << c.what;
}

TEST(BZDecompressionStream, LibraryErrorsCarryTheirCode) {
  try {
    Unpack("not bzip2");
    FAIL() << "no error";
  } catch (const EBZCompressionError& error) {
    EXPECT_STREQ(error.what(), "error -5");  // BZ_DATA_ERROR_MAGIC
  }
}

TEST(BZDecompressionStream, WritingIsAnInvalidOperation) {
  const std::string package = Bzip2("x");
  TBytesStream source(package);
  TBZDecompressionStream stream(source);
  try {
    stream.Write("a", 1);
    FAIL() << "no error";
  } catch (const EBZDecompressionError& error) {
    EXPECT_STREQ(error.what(), "Invalid stream operation");
  }
}

// The input comes in 131072-byte blocks, progress follows every decompressor call, and a
// source position moved by someone else is set back before the next block.
TEST(BZDecompressionStream, ReadsBlocksAndReportsProgress) {
  const std::string data = Incompressible(400000);
  const std::string package = "junk" + Bzip2(data);
  TBytesStream source(package);
  source.Seek(4);
  TBZDecompressionStream stream(source);
  std::vector<int64_t> positions;
  stream.OnProgress = [&](TBZDecompressionStream& sender) {
    EXPECT_EQ(&sender, &stream);
    // 0 means no block was read since the last report moved the position away.
    if (source.Position() != 0) positions.push_back(source.Position());
    source.Seek(0);
  };
  EXPECT_EQ(ReadAll(stream), data);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.front(), 4 + 131072);
  for (int64_t p : positions) EXPECT_TRUE((p - 4) % 131072 == 0 || p == static_cast<int64_t>(package.size())) << p;
  EXPECT_EQ(positions.back(), static_cast<int64_t>(package.size()));
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(data.size()));
}
