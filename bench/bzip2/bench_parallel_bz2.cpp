// Unpacking one 64 MiB package (level 9) with ParallelBzip2Decoder on two threads, against
// libbz2 alone (TBZDecompressionStream), `bzip2 -dc` and `lbzip2 -n2 -dc` of the same package,
// for incompressible content and for content half text; then a package of 1 GiB of zeros
// (blocks that unpack to 45 MB each from a few dozen bytes) for peak memory. Every decoder runs
// as a child process on the same package file, so its time includes the process start and its
// peak resident memory is its own. Ours read the file in 1 MiB pieces, as a download arrives,
// and take the CRC-32 of what they unpack, as the worker does.
// Usage: bench_parallel_bz2 [folder]   (default: the system's temporary folder)
#include <bzlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_util.h"
#include "bzip2/bz_stream.h"
#include "bzip2/parallel_bz2_decoder.h"
#include "crc32/crc32.h"

namespace {

constexpr size_t kPackageContent = size_t{64} << 20;
constexpr size_t kZerosContent = size_t{1} << 30;
constexpr size_t kPiece = size_t{1} << 20;
constexpr int kRounds = 3;

// Content in pieces of kPiece bytes; returns false when there is no more.
using Content = std::function<bool(std::vector<char>& piece)>;

// Compresses content into a level-9 package file; returns the content's CRC-32.
uint32_t WritePackage(const std::filesystem::path& path, const Content& content) {
  bz_stream bz{};
  if (BZ2_bzCompressInit(&bz, 9, 0, 0) != BZ_OK) throw std::runtime_error("cannot start bzip2");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::vector<char> piece(kPiece), out(kPiece);
  uint32_t crc = 0;
  for (bool more = true; more;) {
    more = content(piece);
    if (more) crc = Crc32(crc, piece.data(), piece.size());
    bz.next_in = piece.data();
    bz.avail_in = more ? static_cast<unsigned>(piece.size()) : 0;
    int result;
    do {
      bz.next_out = out.data();
      bz.avail_out = static_cast<unsigned>(out.size());
      result = BZ2_bzCompress(&bz, more ? BZ_RUN : BZ_FINISH);
      std::fwrite(out.data(), 1, out.size() - bz.avail_out, file);
    } while (more ? bz.avail_in > 0 : result != BZ_STREAM_END);
  }
  std::fclose(file);
  BZ2_bzCompressEnd(&bz);
  return crc;
}

Content Incompressible() {
  auto random = std::make_shared<std::mt19937_64>(3);
  auto left = std::make_shared<size_t>(kPackageContent);
  return [random, left](std::vector<char>& piece) {
    if (*left == 0) return false;
    for (size_t i = 0; i < piece.size(); i += 8) {
      const uint64_t word = (*random)();
      std::copy_n(reinterpret_cast<const char*>(&word), 8, piece.data() + i);
    }
    *left -= piece.size();
    return true;
  };
}

// Pieces of text and of random bytes in turn.
Content HalfText() {
  static const char* const kWords[] = {"sword ", "shield ", "potion ", "of ", "the ", "dragon ", "level ", "gold ",
                                       "quest\n", "guild ", "north ", "castle ", "1024 ", "mana ", "\"item\": "};
  auto random = std::make_shared<std::mt19937_64>(4);
  auto left = std::make_shared<size_t>(kPackageContent);
  return [random, left](std::vector<char>& piece) {
    if (*left == 0) return false;
    const bool text = (*left / kPiece) % 2 == 0;
    for (size_t i = 0; i < piece.size();) {
      if (text) {
        for (const char* c = kWords[(*random)() % std::size(kWords)]; *c && i < piece.size(); ++c) piece[i++] = *c;
      } else {
        piece[i++] = static_cast<char>((*random)());
      }
    }
    *left -= piece.size();
    return true;
  };
}

Content Zeros() {
  auto left = std::make_shared<size_t>(kZerosContent);
  return [left](std::vector<char>& piece) {
    if (*left == 0) return false;
    std::fill(piece.begin(), piece.end(), '\0');
    *left -= piece.size();
    return true;
  };
}

// The children: unpack the package, compare the content's CRC-32; exit status 0 when equal.
int UnpackParallel(const std::string& path, uint32_t expected) {
  uint32_t crc = 0;
  ParallelBzip2Decoder decoder([&](const char* data, size_t size) { crc = Crc32(crc, data, size); }, 2);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  std::vector<char> piece(kPiece);
  while (size_t got = std::fread(piece.data(), 1, piece.size(), file)) decoder.Feed(piece.data(), got);
  std::fclose(file);
  decoder.Finish();
  return crc == expected && !decoder.DecodedSequentially() ? 0 : 1;
}

int UnpackSequential(const std::string& path, uint32_t expected) {
  TFileStream source(platform::File::OpenRead(path));
  TBZDecompressionStream stream(source);
  std::vector<char> buffer(65536);
  uint32_t crc = 0;
  while (size_t got = stream.Read(buffer.data(), buffer.size())) crc = Crc32(crc, buffer.data(), got);
  return crc == expected ? 0 : 1;
}

struct Measured {
  const char* name;
  bench::ChildRun best{1e30};
  double peak = 0;
  bool ok = true;
};

void Measure(Measured& measured, const std::vector<std::string>& args, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    const bench::ChildRun run = bench::RunChild(args, "/dev/null");
    measured.ok = measured.ok && run.status == 0;
    measured.peak = std::max(measured.peak, run.peak_mib);
    if (run.seconds < measured.best.seconds) measured.best = run;
  }
}

bool Compare(const char* title, const std::filesystem::path& package, uint32_t crc, int rounds) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string crc_text = std::to_string(crc);
  Measured measured[] = {{"libbz2 alone (TBZDecompressionStream)"},
                         {"ParallelBzip2Decoder, 2 threads"},
                         {"bzip2 -dc"},
                         {"lbzip2 -n2 -dc"}};
  // Rounds alternate between the decoders, so that a busy moment of the machine hits them alike.
  for (int round = 0; round < rounds; ++round) {
    Measure(measured[0], {self, "--sequential", package.string(), crc_text}, 1);
    Measure(measured[1], {self, "--parallel", package.string(), crc_text}, 1);
    Measure(measured[2], {"bzip2", "-dc", package.string()}, 1);
    Measure(measured[3], {"lbzip2", "-n2", "-dc", package.string()}, 1);
  }
  const double libbz2 = measured[0].best.seconds;
  std::printf("%s: package %.1f MiB (best of %d)\n", title, std::filesystem::file_size(package) / 1048576.0, rounds);
  for (const Measured& m : measured) {
    std::printf("  %-40s %7.0f ms  libbz2 alone / this %4.2f  peak %6.1f MiB%s\n", m.name, m.best.seconds * 1000,
                libbz2 / m.best.seconds, m.peak, m.ok ? "" : "  FAILED");
  }
  return measured[0].ok && measured[1].ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--parallel") return UnpackParallel(argv[2], std::stoul(argv[3]));
  if (argc == 4 && std::string(argv[1]) == "--sequential") return UnpackSequential(argv[2], std::stoul(argv[3]));

  const std::filesystem::path work = std::filesystem::path(argc > 1 ? argv[1] : std::filesystem::temp_directory_path()) /
                                     ("bench_parallel_bz2_" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  bool ok = true;
  {
    const uint32_t crc = WritePackage(work / "incompressible.bz2", Incompressible());
    ok = Compare("64 MiB of incompressible content", work / "incompressible.bz2", crc, kRounds) && ok;
  }
  {
    const uint32_t crc = WritePackage(work / "half_text.bz2", HalfText());
    ok = Compare("64 MiB of content half text", work / "half_text.bz2", crc, kRounds) && ok;
  }
  {
    const uint32_t crc = WritePackage(work / "zeros.bz2", Zeros());
    ok = Compare("1 GiB of zeros", work / "zeros.bz2", crc, 1) && ok;
  }
  std::filesystem::remove_all(work);
  std::printf("unpacked content verified, no sequential fallback: %s\n", ok ? "yes" : "NO");
  return ok ? 0 : 1;
}
