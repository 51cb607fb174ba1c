// Applying one delta with ApplyDelta against `zstd -d --patch-from=old` (the zstd tool, same
// old file, same delta, same run), for a pair of 64 MiB and a pair of 256 MiB (the largest file
// that gets deltas). Each pair is a file of binary records and its next version: 1 % of the
// records edited, 200 KiB inserted in the middle, two blocks of 64 KiB replaced. The delta is
// made once with MakeDelta, in a child process of its own. Both appliers run as child processes
// that read the old file and the delta and write the new content to /dev/null, so a time includes
// the process start and the reading; rounds alternate between them. A child's peak (ru_maxrss)
// counts its parent's peak too when that is higher (a spawned child runs in its parent's memory
// until it starts its program), so this parent never holds a file's content.
// Usage: bench_delta_apply [--level N] [folder]   (default: level 19, the system's temporary folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_util.h"
#include "delta/delta_codec.h"

namespace {

constexpr size_t kRecord = 128;
constexpr size_t kInserted = 200 << 10;
constexpr size_t kReplacedBlock = 64 << 10;
constexpr int kRounds = 3;

// Records as a game's data tables hold them: an id, a kind and level, a name from a few words,
// small statistics, and 64 bytes as good as random (a hash, a packed picture).
std::string Records(size_t size, uint64_t seed) {
  static const char* const kWords[] = {"Sword", "Shield", "Potion", "Dragon", "Gold", "Castle", "North", "Mana"};
  std::mt19937_64 random(seed);
  std::string data(size, '\0');
  for (size_t at = 0, id = 0; at + kRecord <= size; at += kRecord, ++id) {
    char* record = data.data() + at;
    const uint64_t kind = random();
    std::copy_n(reinterpret_cast<const char*>(&id), 4, record);
    std::copy_n(reinterpret_cast<const char*>(&kind), 4, record + 4);
    std::string name = std::string(kWords[kind % 8]) + " of " + kWords[(kind >> 8) % 8] + " " + std::to_string(id % 97);
    std::copy_n(name.data(), std::min<size_t>(name.size(), 32), record + 8);
    for (size_t i = 40; i < 64; ++i) record[i] = static_cast<char>(random() % 12);
    for (size_t i = 64; i < kRecord; i += 8) {
      const uint64_t word = random();
      std::copy_n(reinterpret_cast<const char*>(&word), 8, record + i);
    }
  }
  return data;
}

std::string RandomBytes(size_t size, std::mt19937_64& random) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// The next version of `old_content`: 1 % of the records get new statistics, two blocks are
// replaced and 200 KiB are inserted in the middle.
std::string NextVersion(std::string content, uint64_t seed) {
  std::mt19937_64 random(seed);
  const size_t records = content.size() / kRecord;
  for (size_t edited = 0; edited < records / 100; ++edited) {
    char* stats = content.data() + (random() % records) * kRecord + 40;
    for (size_t i = 0; i < 8; ++i) stats[i] = static_cast<char>(random() % 12);
  }
  for (size_t at : {content.size() / 4, content.size() * 3 / 4}) {
    content.replace(at, kReplacedBlock, RandomBytes(kReplacedBlock, random));
  }
  content.insert(content.size() / 2, RandomBytes(kInserted, random));
  return content;
}

// The largest resident set of this process so far, in MiB.
double OwnPeakMib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The child that applies: the old file read whole into a block of its own, as the launcher does.
int Apply(const char* old_path, const char* delta_path, uint64_t size) {
  std::FILE* file = std::fopen(old_path, "rb");
  if (!file) return 2;
  FileContent old_content(std::filesystem::file_size(old_path));
  const bool read = std::fread(old_content.data(), 1, old_content.size(), file) == old_content.size();
  std::fclose(file);
  if (!read) return 2;
  const FileContent result = ApplyDelta(old_content.view(), ReadFile(delta_path), size);
  return std::fwrite(result.data(), 1, result.size(), stdout) == result.size() ? 0 : 3;
}

// The child that makes the pair's files and the delta, and says what the making cost.
int Make(const std::filesystem::path& work, size_t new_size, int level) {
  const std::string old_content = Records(new_size - kInserted, new_size);
  const std::string new_content = NextVersion(old_content, new_size + 1);
  WriteFile(work / "old", old_content);
  WriteFile(work / "new", new_content);
  const auto start = std::chrono::steady_clock::now();
  const std::string delta = MakeDelta(old_content, new_content, level);
  const double seconds = bench::SecondsSince(start);
  WriteFile(work / "delta", delta);
  std::printf("%zu MiB file: delta %zu bytes (%.3f %% of the file), made at level %d in %.1f s, peak %.0f MiB "
              "(the old and the new content included)\n",
              new_size >> 20, delta.size(), 100.0 * delta.size() / new_size, level, seconds, OwnPeakMib());
  return 0;
}

struct Measured {
  const char* name;
  std::vector<std::string> args;
  bench::ChildRun best{1e30};
  double peak = 0;
  bool ok = true;
};

bool Compare(size_t new_size, int level, const std::filesystem::path& work) {
  const std::filesystem::path old_path = work / "old", new_path = work / "new", delta_path = work / "delta";
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string size_text = std::to_string(new_size);
  std::fflush(stdout);
  if (bench::RunChild({self, "--make", work, size_text, std::to_string(level)}).status != 0) return false;
  // Ours must give exactly the new file; the tool checks the frame's checksum itself (its status).
  bool ok = bench::RunChild({self, "--apply", old_path, delta_path, size_text}, work / "applied").status == 0 &&
            bench::RunChild({"cmp", "-s", work / "applied", new_path}).status == 0;
  std::filesystem::remove(work / "applied");
  Measured measured[] = {
      {"ApplyDelta", {self, "--apply", old_path, delta_path, size_text}},
      {"zstd -d --patch-from=old", {"zstd", "-d", "-q", "-c", "--long=30", "--patch-from=" + old_path.string(),
                                    delta_path.string()}},
  };
  for (int round = 0; round < kRounds; ++round) {
    for (Measured& m : measured) {
      const bench::ChildRun run = bench::RunChild(m.args, "/dev/null");
      m.ok = m.ok && run.status == 0;
      m.peak = std::max(m.peak, run.peak_mib);
      if (run.seconds < m.best.seconds) m.best = run;
    }
  }
  const double file_mib = new_size / 1048576.0;
  std::printf("  applying, best of %d:\n", kRounds);
  for (const Measured& m : measured) {
    std::printf("  %-28s %7.0f ms  peak %6.1f MiB%s\n", m.name, m.best.seconds * 1000, m.peak, m.ok ? "" : "  FAILED");
  }
  std::printf("  ApplyDelta / zstd tool: time %.2f (target at most 1.2); peak %.1f MiB against 2 x file %.0f MiB\n",
              measured[0].best.seconds / measured[1].best.seconds, measured[0].peak, 2 * file_mib);
  for (const auto& path : {old_path, new_path, delta_path}) std::filesystem::remove(path);
  return ok && measured[0].ok && measured[1].ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--apply") return Apply(argv[2], argv[3], std::stoull(argv[4]));
  if (argc == 5 && std::string(argv[1]) == "--make") return Make(argv[2], std::stoull(argv[3]), std::stoi(argv[4]));
  int level = 19;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "--level") {
    level = std::stoi(args[1]);
    args.erase(args.begin(), args.begin() + 2);
  }
  const std::filesystem::path work = std::filesystem::path(args.empty() ? std::filesystem::temp_directory_path()
                                                                         : std::filesystem::path(args[0])) /
                                     ("bench_delta_apply_" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  bool ok = true;
  for (size_t size : {size_t{64} << 20, size_t{kLargestDeltaFile}}) ok = Compare(size, level, work) && ok;
  std::filesystem::remove_all(work);
  std::printf("applied content verified: %s\n", ok ? "yes" : "NO");
  return ok ? 0 : 1;
}
