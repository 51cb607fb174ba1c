// `update-site build` of one 256 MiB file (half words, half noise) on two threads, against
// `bzip2 -9` and `lbzip2 -9 -n 2` on the same file in the same run; best of two rounds each.
// Usage: bench_large_file [folder]   (default: the system's temporary folder)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kFileBytes = uint64_t{256} << 20;
constexpr int kRounds = 2;

void WriteHalfWordsHalfNoise(const fs::path& path) {
  static const char* kWords[] = {"sword ", "shield ", "potion ", "dragon ", "castle ", "\r\n", "gold ", "level 42 "};
  std::mt19937_64 random(256);
  std::ofstream out(path, std::ios::binary);
  std::string block;
  for (uint64_t written = 0; written < kFileBytes; written += block.size()) {
    block.clear();
    const bool noise = written >= kFileBytes / 2;
    while (block.size() < (1 << 20)) {
      uint64_t value = random();
      if (noise) {
        block.append(reinterpret_cast<const char*>(&value), sizeof value);
      } else {
        block += kWords[value % 8];
      }
    }
    block.resize(1 << 20);
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

struct Best {
  double seconds = 1e9;
  double peak_mib = 0;
};

Best BestOf(const std::vector<std::string>& command, const std::string& output, const std::function<void()>& before = {}) {
  Best best;
  for (int round = 0; round < kRounds; ++round) {
    if (before) before();
    bench::ChildRun run = bench::RunChild(command, output);
    if (run.status != 0) throw std::runtime_error(command[0] + " failed");
    if (run.seconds < best.seconds) best = {run.seconds, run.peak_mib};
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "update-site-bench-large";
  const fs::path game = root / "game", site = root / "site";
  fs::remove_all(root);
  fs::create_directories(game);
  WriteHalfWordsHalfNoise(game / "large.bin");
  std::printf("One file of %.0f MiB (half words, half noise) in %s\n", kFileBytes / 1048576.0, game.c_str());
  std::string loadavg;
  std::getline(std::ifstream("/proc/loadavg"), loadavg);
  std::printf("Load average at start: %s\n", loadavg.c_str());

  const Best tool = BestOf({UPDATE_SITE_EXE, "build", game.string(), site.string(), "--jobs", "2"}, "/dev/null",
                           [&] { fs::remove_all(site); });
  const std::string file = (game / "large.bin").string();
  const Best bzip2 = BestOf({"bzip2", "-9", "-c", file}, (root / "bzip2.bz2").string());
  const Best lbzip2 = BestOf({"lbzip2", "-9", "-n", "2", "-c", file}, (root / "lbzip2.bz2").string());
  const bool valid = bench::RunChild({"bzip2", "-t", (site / "large.bin.rar").string()}).status == 0;

  auto line = [](const char* name, const Best& best, const fs::path& output) {
    std::printf("  %-32s %7.2f s  %6.1f MiB/s  package %6.1f MiB  peak %5.1f MiB\n", name, best.seconds,
                kFileBytes / 1048576.0 / best.seconds, fs::file_size(output) / 1048576.0, best.peak_mib);
  };
  std::printf("\nBest of %d:\n", kRounds);
  line("update-site build --jobs 2", tool, site / "large.bin.rar");
  line("bzip2 -9", bzip2, root / "bzip2.bz2");
  line("lbzip2 -9 -n 2", lbzip2, root / "lbzip2.bz2");
  std::printf("  bzip2 / update-site = %.2f (target at least 1.8)\n", bzip2.seconds / tool.seconds);
  std::printf("  lbzip2 / update-site = %.2f\n", lbzip2.seconds / tool.seconds);
  std::printf("  the package passes bzip2 -t: %s\n", valid ? "yes" : "NO");
  fs::remove_all(root);
  return valid ? 0 : 1;
}
