// FileCRC32 over a 256 MiB file in the page cache, against reading the same file without a
// checksum, zlib's crc32() over the same blocks, and coreutils cksum as a process.
// Usage: bench_crc32 [folder]   (default: the system's temporary folder)
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <vector>

#include "bench_util.h"
#include "crc32/crc32.h"
#include "crc32/crc32_paths.h"
#include "platform/files.h"

namespace {

constexpr size_t kFileSize = size_t{256} << 20;
constexpr size_t kBlock = 262144;  // FileCRC32's own block
constexpr int kRounds = 5;

void WriteFile(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  std::mt19937_64 random(42);
  std::vector<uint64_t> block(kBlock / 8);
  for (size_t written = 0; written < kFileSize; written += kBlock) {
    for (auto& word : block) word = random();
    out.write(reinterpret_cast<const char*>(block.data()), kBlock);
  }
}

// Reads the file in FileCRC32's blocks and hands each block to the consumer.
uint32_t ReadThrough(const std::string& path, const std::function<uint32_t(uint32_t, const uint8_t*, size_t)>& consume) {
  platform::File file = platform::File::OpenRead(path);
  std::vector<uint8_t> block(kBlock);
  uint32_t crc = 0;
  while (size_t got = file.Read(block.data(), block.size())) crc = consume(crc, block.data(), got);
  return crc;
}

double Best(const std::function<void()>& run) {
  double best = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, bench::SecondsSince(start));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
  std::filesystem::path path = folder / "bench_crc32.data";
  WriteFile(path);
  const std::string name = path.string();
  ReadThrough(name, [](uint32_t c, const uint8_t*, size_t) { return c; });  // into the page cache

  uint32_t ours = 0, theirs = 0, portable = 0;
  double read_only = Best([&] { ReadThrough(name, [](uint32_t c, const uint8_t* d, size_t) { return c ^ d[0]; }); });
  double file_crc = Best([&] { ours = FileCRC32(name); });
  double zlib = Best([&] {
    theirs = ReadThrough(name, [](uint32_t c, const uint8_t* d, size_t n) { return static_cast<uint32_t>(crc32(c, d, static_cast<uInt>(n))); });
  });
  double slice8 = Best([&] {
    portable = ReadThrough(name, [](uint32_t c, const uint8_t* d, size_t n) { return ~crc32_paths::SliceBy8(~c, d, n); });
  });
  double cksum = 1e30;
  for (int i = 0; i < kRounds; ++i) cksum = std::min(cksum, bench::RunChild({"cksum", name}, "/dev/null").seconds);
  std::filesystem::remove(path);

  const double mib = kFileSize / 1048576.0;
  auto line = [&](const char* what, double seconds) {
    std::printf("  %-34s %7.1f ms  %7.0f MiB/s\n", what, seconds * 1000, mib / seconds);
  };
  const char* chosen = crc32_paths::WideFolding() ? "512-bit folding (VPCLMULQDQ)"
                     : crc32_paths::Folding()   ? "128-bit folding (PCLMULQDQ)"
                                                : "portable slice-by-8";
  std::printf("CRC-32 of a 256 MiB file in the page cache (best of %d; FileCRC32 runs the %s path)\n", kRounds, chosen);
  line("read only (same 256 KiB blocks)", read_only);
  line("FileCRC32", file_crc);
  line("zlib crc32() over the same blocks", zlib);
  line("portable slice-by-8 path", slice8);
  line("coreutils cksum (process)", cksum);
  std::printf("  FileCRC32 / read only   = %.2f  (target at most 1.5)\n", file_crc / read_only);
  std::printf("  zlib / FileCRC32        = %.2f  (target at least 1.0)\n", zlib / file_crc);
  std::printf("  cksum / FileCRC32       = %.2f\n", cksum / file_crc);
  std::printf("  results agree: %s\n", ours == theirs && portable == ours ? "yes" : "NO");
  return ours == theirs ? 0 : 1;
}
