#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "crc32/crc32.h"
#include "crc32/crc32_paths.h"

namespace {

uint32_t Finished(crc32_paths::Path path, const uint8_t* data, size_t size) { return ~path(~0u, data, size); }

std::vector<uint8_t> RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

}  // namespace

TEST(Crc32, CheckValue) {
  EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, "", 0), 0u);
  // Continuing a finished checksum is the same as one pass over both parts.
  EXPECT_EQ(Crc32(Crc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
}

TEST(Crc32, TextHasUppercaseDigitsAndAtLeastSix) {
  EXPECT_EQ(Crc32Text(0), "000000");
  EXPECT_EQ(Crc32Text(0x12AB), "0012AB");
  EXPECT_EQ(Crc32Text(0xFFFFF), "0FFFFF");
  EXPECT_EQ(Crc32Text(0x100000), "100000");
  EXPECT_EQ(Crc32Text(0x1ABCDEF), "1ABCDEF");
  EXPECT_EQ(Crc32Text(0xCBF43926), "CBF43926");
}

TEST(Crc32, FieldsAreReadAsNumbers) {
  EXPECT_EQ(ParseCrc32("CBF43926"), 0xCBF43926u);
  EXPECT_EQ(ParseCrc32("cbf43926"), 0xCBF43926u);
  EXPECT_EQ(ParseCrc32("0000000012ab"), 0x12ABu);
  EXPECT_EQ(ParseCrc32("000000"), 0u);
  for (const char* bad : {"", "12G", "-1", "1CBF43926", " 12", "0x12"}) EXPECT_FALSE(ParseCrc32(bad)) << bad;
}

// Every length up to a few folding blocks, at every alignment, and larger random blocks.
TEST(Crc32, EveryPathEqualsTheBytewiseDefinition) {
  std::vector<uint8_t> data = RandomBytes(70000, 1);
  std::vector<crc32_paths::Path> paths = {crc32_paths::SliceBy8};
  if (crc32_paths::Path folding = crc32_paths::Folding()) paths.push_back(folding);
  if (crc32_paths::Path wide = crc32_paths::WideFolding()) paths.push_back(wide);
  for (crc32_paths::Path path : paths) {
    for (size_t offset = 0; offset < 16; ++offset) {
      for (size_t size = 0; size <= 1100; ++size) {
        ASSERT_EQ(Finished(path, data.data() + offset, size), Finished(crc32_paths::Bytewise, data.data() + offset, size))
            << "offset " << offset << " size " << size;
      }
    }
    for (size_t size : {1023u, 4096u, 65521u, 69999u}) {
      EXPECT_EQ(Finished(path, data.data() + 1, size), Finished(crc32_paths::Bytewise, data.data() + 1, size));
    }
  }
  EXPECT_EQ(Crc32(0, data.data(), data.size()), crc32(0, data.data(), static_cast<uInt>(data.size())));
}

TEST(Crc32, ThisProcessorHasTheFoldingPaths) {
  // The machines that build and test the launcher have PCLMULQDQ and VPCLMULQDQ; without them
  // the check above would only have covered the portable path.
  EXPECT_NE(crc32_paths::Folding(), nullptr);
  EXPECT_NE(crc32_paths::WideFolding(), nullptr);
}

TEST(FileCRC32, CoversTheWholeContentAndTakesAMissingFileAsEmpty) {
  auto path = std::filesystem::temp_directory_path() / ("file_crc32_" + std::to_string(::getpid()));
  std::vector<uint8_t> data = RandomBytes(600000, 2);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  EXPECT_EQ(FileCRC32(path.string()), Finished(crc32_paths::Bytewise, data.data(), data.size()));
  std::ofstream(path, std::ios::binary).close();
  EXPECT_EQ(Crc32Text(FileCRC32(path.string())), "000000");
  std::filesystem::remove(path);
  EXPECT_EQ(FileCRC32(path.string()), 0u);
}
