// `update-site build` on a generated game folder of about 200 MiB in 1,000 files, against
// single-threaded `bzip2 -9` and parallel `lbzip2 -9` (and `pbzip2 -9` when installed) run file
// by file in the same run; then rebuilds with nothing and with one file changed.
// Usage: bench_update_site [folder]   (default: the system's temporary folder)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kFiles = 1000;
constexpr uint64_t kTotalBytes = uint64_t{200} << 20;
constexpr int kBuildRounds = 2;

struct GeneratedFile {
  std::string path;  // relative, "/" separators
  uint64_t size;
};

// Five archives of 8 MiB, as games carry a few large files; the rest spread evenly on a
// logarithmic scale from 2 KiB to 8 MiB and scaled to fill the total.
std::vector<GeneratedFile> PlanTree() {
  constexpr size_t kLarge = 5;
  constexpr uint64_t kLargeSize = uint64_t{8} << 20;
  std::mt19937_64 random(2024);
  std::vector<double> weights(kFiles - kLarge);
  double sum = 0;
  for (double& weight : weights) sum += weight = std::exp2(11.0 + 12.0 * static_cast<double>(random() % 10000) / 10000.0);
  static const char* kExtensions[] = {".bmd", ".ozj", ".ozt", ".wav", ".txt", ".dll"};
  std::vector<GeneratedFile> files;
  for (size_t i = 0; i < kFiles; ++i) {
    const uint64_t size = i < kLarge ? kLargeSize
                                     : static_cast<uint64_t>(weights[i - kLarge] / sum *
                                                             static_cast<double>(kTotalBytes - kLarge * kLargeSize));
    files.push_back({"Data/Group" + std::to_string(i % 20) + "/Part" + std::to_string(i % 7) + "/file" +
                         std::to_string(i) + kExtensions[i % 6],
                     size});
  }
  return files;
}

// Blocks of words (compressible about four to one) and blocks of noise; the share of noise
// goes from none to all across the files.
void WriteContent(const fs::path& path, uint64_t size, size_t index) {
  static const char* kWords[] = {"sword ", "shield ", "potion ", "dragon ", "castle ", "\r\n", "gold ", "level 42 "};
  std::mt19937_64 random(index);
  std::string block;
  std::ofstream out(path, std::ios::binary);
  for (uint64_t written = 0, n = 0; written < size; ++n) {
    block.clear();
    bool noise = (n * 7 + index) % 4 < index % 5;
    while (block.size() < 65536) {
      uint64_t value = random();
      if (noise) {
        block.append(reinterpret_cast<const char*>(&value), sizeof value);
      } else {
        block += kWords[value % 8];
      }
    }
    size_t take = static_cast<size_t>(std::min<uint64_t>(block.size(), size - written));
    out.write(block.data(), static_cast<std::streamsize>(take));
    written += take;
  }
}

double RunEach(const std::vector<GeneratedFile>& files, const fs::path& game, const fs::path& out,
               const std::vector<std::string>& command) {
  auto start = std::chrono::steady_clock::now();
  for (const GeneratedFile& file : files) {
    fs::create_directories((out / file.path).parent_path());
    std::vector<std::string> args = command;
    args.push_back((game / file.path).string());
    bench::ChildRun run = bench::RunChild(args, (out / file.path).string() + ".bz2");
    if (run.status != 0) throw std::runtime_error(command[0] + " failed");
  }
  return bench::SecondsSince(start);
}

double Build(const fs::path& game, const fs::path& site) {
  bench::ChildRun run = bench::RunChild({UPDATE_SITE_EXE, "build", game.string(), site.string()}, "/dev/null");
  if (run.status != 0) throw std::runtime_error("update-site build failed");
  return run.seconds;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Installed(const std::string& program) { return std::system(("command -v " + program + " >/dev/null").c_str()) == 0; }

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "update-site-bench";
  const fs::path game = root / "game", site = root / "site";
  fs::remove_all(root);
  std::vector<GeneratedFile> files = PlanTree();
  uint64_t total = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    fs::create_directories((game / files[i].path).parent_path());
    WriteContent(game / files[i].path, files[i].size, i);
    total += files[i].size;
  }
  const auto largest = std::max_element(files.begin(), files.end(), [](auto& a, auto& b) { return a.size < b.size; });
  std::printf("Tree: %zu files, %.1f MiB (largest %.1f MiB), in %s\n", files.size(), total / 1048576.0,
              largest->size / 1048576.0, game.c_str());
  std::printf("Load average at start: %s", Read("/proc/loadavg").c_str());

  double build = 1e9;
  for (int round = 0; round < kBuildRounds; ++round) {
    fs::remove_all(site);
    build = std::min(build, Build(game, site));
  }
  const double bzip2 = RunEach(files, game, root / "bzip2", {"bzip2", "-9", "-c"});
  size_t identical = 0;
  for (const GeneratedFile& file : files) {
    identical += Read(site / (file.path + ".rar")) == Read(root / "bzip2" / (file.path + ".bz2"));
  }
  const double lbzip2 = RunEach(files, game, root / "lbzip2", {"lbzip2", "-9", "-n", "2", "-c"});
  const bool has_pbzip2 = Installed("pbzip2");
  const double pbzip2 = has_pbzip2 ? RunEach(files, game, root / "pbzip2", {"pbzip2", "-9", "-p2", "-c"}) : 0;

  std::printf("\nCold build, best of %d, against peers run file by file:\n", kBuildRounds);
  std::printf("  update-site build (all cores)  %7.2f s  %6.1f MiB/s\n", build, total / 1048576.0 / build);
  std::printf("  bzip2 -9 (one thread)          %7.2f s  %6.1f MiB/s\n", bzip2, total / 1048576.0 / bzip2);
  std::printf("  lbzip2 -9 -n 2                 %7.2f s  %6.1f MiB/s\n", lbzip2, total / 1048576.0 / lbzip2);
  if (has_pbzip2) std::printf("  pbzip2 -9 -p2                  %7.2f s\n", pbzip2);
  std::printf("  bzip2 / update-site = %.2f (target at least 1.8)\n", bzip2 / build);
  std::printf("  lbzip2 / update-site = %.2f\n", lbzip2 / build);
  std::printf("  packages byte-identical to bzip2 -9 output: %zu of %zu (files over one chunk end their blocks elsewhere)\n",
              identical, files.size());

  const double unchanged = Build(game, site);
  // A file of about 2 MiB gets new content; its compression alone is timed with bzip2.
  auto changed = std::min_element(files.begin(), files.end(), [](auto& a, auto& b) {
    return std::llabs(static_cast<long long>(a.size) - (2 << 20)) < std::llabs(static_cast<long long>(b.size) - (2 << 20));
  });
  WriteContent(game / changed->path, changed->size, 99999);
  const double one_file = RunEach({*changed}, game, root / "one", {"bzip2", "-9", "-c"});
  const double rebuild = Build(game, site);
  std::printf("\nRebuilds:\n");
  std::printf("  nothing changed                %7.2f s\n", unchanged);
  std::printf("  one file changed (%.1f MiB)     %7.2f s; bzip2 -9 of that file alone %.2f s\n",
              changed->size / 1048576.0, rebuild, one_file);
  std::printf("  rebuild - that file's compression = %.2f s (target under 2 s)\n", rebuild - one_file);
  fs::remove_all(root);
  return 0;
}
