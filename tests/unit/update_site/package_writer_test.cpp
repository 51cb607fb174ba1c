// Packages compressed in chunks on several threads: one standard bzip2 stream, the same bytes
// whatever the number of threads, one block per chunk even for the worst input.
#include <bzlib.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "crc32/crc32.h"
#include "signing/sha256.h"
#include "site_fixture.h"
#include "update_site/builder/bzip2_blocks.h"
#include "update_site/builder/package_writer.h"
#include "update_site/builder/site_builder.h"

namespace fs = std::filesystem;

namespace {

// How often a 48-bit pattern occurs at any bit position.
size_t CountBitPattern(const std::string& bytes, uint64_t pattern) {
  size_t count = 0;
  uint64_t window = 0;
  for (size_t bit = 0; bit < bytes.size() * 8; ++bit) {
    window = ((window << 1) | ((static_cast<unsigned char>(bytes[bit / 8]) >> (7 - bit % 8)) & 1u)) & 0xFFFFFFFFFFFF;
    if (bit >= 47 && window == pattern) ++count;
  }
  return count;
}
constexpr uint64_t kBlockMagic = 0x314159265359;

std::string LibBz2Decompressed(const std::string& package, size_t size) {
  std::string content(size + 1, '\0');
  auto length = static_cast<unsigned>(content.size());
  int result = BZ2_bzBuffToBuffDecompress(content.data(), &length, const_cast<char*>(package.data()),
                                          static_cast<unsigned>(package.size()), 0, 0);
  EXPECT_EQ(result, BZ_OK);
  content.resize(length);
  return content;
}

std::string LibBz2Compressed(const std::string& content) {
  std::string out(content.size() + content.size() / 100 + 600, '\0');
  auto length = static_cast<unsigned>(out.size());
  EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(content.data()),
                                     static_cast<unsigned>(content.size()), 9, 0, 0),
            BZ_OK);
  out.resize(length);
  return out;
}

bool HasBzip2Command() { return std::system("command -v bzip2 >/dev/null 2>&1") == 0; }

// Runs of four equal bytes: each becomes five after bzip2's first run-length stage.
std::string WorstCaseRuns(size_t size) {
  std::string bytes;
  for (size_t i = 0; bytes.size() < size; ++i) bytes.append(4, static_cast<char>(i % 251));
  bytes.resize(size);
  return bytes;
}

}  // namespace

TEST(PackageWriter, OneStandardStreamWithTheSameBytesForAnyNumberOfThreads) {
  const bool bzip2_command = HasBzip2Command();
  const size_t sizes[] = {0, 1, kChunkSize, kChunkSize + 1, 2 * kChunkSize + 4321};
  for (size_t size : sizes) {
    TempDir dir;
    // Text and noise in turn, so that chunks compress differently and end at different bits.
    std::string content = SampleBytes(size / 2, 7, true) + SampleBytes(size - size / 2, 8, false);
    WriteFile(dir / "file", content);
    std::string first;
    for (unsigned threads : {1u, 2u, 3u}) {
      const fs::path package = dir / ("package" + std::to_string(threads));
      uint64_t reported = 0;
      PackedFile packed = WritePackage((dir / "file").string(), package.string(), [&](uint64_t bytes) { reported += bytes; }, threads);
      const std::string written = ReadFile(package);
      EXPECT_EQ(packed.package_size, written.size()) << size;
      EXPECT_EQ(packed.package_sha256, Sha256Of(written)) << size;
      EXPECT_EQ(packed.crc, Crc32(0, content.data(), content.size())) << size;
      EXPECT_EQ(packed.file_size, size);
      EXPECT_EQ(reported, size);
      if (threads == 1) {
        first = written;
        EXPECT_EQ(LibBz2Decompressed(written, size), content) << size;
        EXPECT_EQ(Unpack(written), content) << size;
        EXPECT_EQ(CountBitPattern(written, kBlockMagic), ChunkCount(size)) << size;
        if (bzip2_command) {
          EXPECT_EQ(std::system(("bzip2 -tq " + package.string()).c_str()), 0) << size;
        }
      } else {
        EXPECT_TRUE(written == first) << size << " bytes on " << threads << " threads";
      }
    }
  }
}

TEST(PackageWriter, AnEmptyFileGivesTheStreamBzip2Gives) {
  TempDir dir;
  WriteFile(dir / "empty", "");
  WritePackage((dir / "empty").string(), (dir / "empty.rar").string(), nullptr, 2);
  EXPECT_EQ(ReadFile(dir / "empty.rar"), LibBz2Compressed(""));
}

TEST(PackageWriter, TheWorstRunLengthInputStillGivesOneBlockPerChunk) {
  // The input is the worst case: bzip2 alone needs a second block well before two chunks.
  ASSERT_EQ(CountBitPattern(LibBz2Compressed(WorstCaseRuns(kBlockCapacity)), kBlockMagic), 2u);

  TempDir dir;
  const std::string content = WorstCaseRuns(2 * kChunkSize + 4);
  WriteFile(dir / "runs", content);
  WritePackage((dir / "runs").string(), (dir / "runs.rar").string(), nullptr, 2);
  const std::string package = ReadFile(dir / "runs.rar");
  EXPECT_EQ(CountBitPattern(package, kBlockMagic), 3u);
  EXPECT_EQ(LibBz2Decompressed(package, content.size()), content);
}

TEST(PackageWriter, ABuildCompressesALargeFileOnAllThreadsAndListsWhatItWrote) {
  TempDir dir;
  MakeSmallGame(dir / "game");
  const std::string large = SampleBytes(3 * kChunkSize, 9, true);
  WriteFile(dir / "game/Data/large.bmd", large);
  std::map<std::string, std::string> sites[2];
  for (unsigned jobs : {1u, 3u}) {
    BuildOptions options;
    options.game_dir = (dir / "game").string();
    options.site_dir = (dir / ("site" + std::to_string(jobs))).string();
    options.jobs = jobs;
    std::ostringstream progress;
    EXPECT_EQ(BuildSite(options, progress, false).compressed, SmallGameFiles().size() + 1);
    sites[jobs == 3] = FolderContent(dir / ("site" + std::to_string(jobs)));
    sites[jobs == 3].erase(".update-site-cache");
  }
  EXPECT_TRUE(sites[0] == sites[1]);
  const std::string package = sites[1]["Data/large.bmd.rar"];
  EXPECT_EQ(Unpack(package), large);
  EXPECT_NE(sites[1]["mu.update"].find("Data\\large.bmd|" + Crc32Text(Crc32(0, large.data(), large.size())) + "|" +
                                        std::to_string(package.size())),
            std::string::npos)
      << sites[1]["mu.update"];
}
