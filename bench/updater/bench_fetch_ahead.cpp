// Installing many packages from a distant server (every answer 100 ms late) through the worker's
// own installation stage, which fetches the next entries' packages on several connections while
// one entry installs, against the same stage fetching one package at a time, each at its entry's
// turn, and against `curl --parallel` fetching the same addresses, in the same run. Then a few
// large packages, where unpacking is the bottleneck and fetching ahead must cost nothing. Each
// side runs as a child process, so its time includes the process start and its peak resident
// memory is its own.
// Usage: bench_fetch_ahead [folder [small|large]]   (default: the system's temporary folder, both)
#include <bzlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "bench_worker.h"
#include "crc32/crc32.h"
#include "support/http_test_server.h"
#include "transfer/package_address.h"

namespace {

constexpr auto kAnswerDelay = std::chrono::milliseconds(100);
constexpr int kSmallCount = 500;
constexpr size_t kSmallContent = 20000;
constexpr int kLargeCount = 10;
constexpr size_t kLargeContent = size_t{32} << 20;
constexpr unsigned kCurlParallel = 4;
// One at a time, the small packages take 500 round trips of 100 ms, 50 s that no round can
// shorten: it runs once, the other sides best of kSmallRounds.
constexpr int kSmallRounds = 2;
constexpr int kSmallOneAtATimeRounds = 1;
constexpr int kLargeRounds = 2;
constexpr size_t kProblemsShown = 5;
constexpr size_t kGenerateBlock = size_t{1} << 20;

// A listed game file: its list entry's fields.
struct SiteFile {
  std::string path;  // as the list writes it, "Data\\Small\\File123.bmd"
  uint32_t crc = 0;
  uint64_t package_size = 0;
  std::string Entry() const { return path + "|" + Crc32Text(crc) + "|" + std::to_string(package_size); }
  std::filesystem::path InGame(const std::filesystem::path& game) const {
    std::string relative = path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return game / relative;
  }
};

// The packages of one measurement, served from the benchmark's server.
struct Site {
  std::string title;
  std::vector<SiteFile> files;
  uint64_t package_bytes = 0;
  std::filesystem::path entries;      // the list entries, one a line, for the children
  std::filesystem::path curl_config;  // "url" and "output" lines for curl -K
};

// A package of random content at package_file, level 9 as update-site builds them; returns the
// content's CRC-32. Made a block at a time: the benchmark's own process stays small beside the
// children it measures.
uint32_t WritePackage(const std::filesystem::path& package_file, std::mt19937_64& random, size_t content_size) {
  std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(package_file.c_str(), "wb"), std::fclose);
  int error = out ? BZ_OK : BZ_IO_ERROR;
  BZFILE* stream = out ? BZ2_bzWriteOpen(&error, out.get(), 9, 0, 0) : nullptr;
  std::vector<uint64_t> block(kGenerateBlock / 8);
  uint32_t crc = 0;
  for (size_t done = 0; done < content_size && error == BZ_OK;) {
    for (uint64_t& word : block) word = random();
    const size_t size = std::min(kGenerateBlock, content_size - done);
    BZ2_bzWrite(&error, stream, block.data(), static_cast<int>(size));
    crc = Crc32(crc, block.data(), size);
    done += size;
  }
  int closed = BZ_OK;
  if (stream) BZ2_bzWriteClose(&closed, stream, 0, nullptr, nullptr);
  if (error != BZ_OK || closed != BZ_OK) throw std::runtime_error("cannot write " + package_file.string());
  return crc;
}

// Serves the package at the address the worker asks for the game path.
void AddFile(Site& site, HttpTestServer& server, const std::string& path, const std::filesystem::path& package,
             uint32_t crc) {
  const uint64_t size = std::filesystem::file_size(package);
  site.files.push_back({path, crc, size});
  site.package_bytes += size;
  server.ServeFile(std::string("/").append(EncodeAddressPath(path)).append(".rar"), package);
}

// The entries file for the children and curl's list of the same addresses, its outputs in peer.
void WriteLists(Site& site, const HttpTestServer& server, const std::filesystem::path& folder) {
  site.entries = folder / "entries.txt";
  site.curl_config = folder / "curl.conf";
  std::ofstream entries(site.entries), config(site.curl_config);
  for (size_t i = 0; i < site.files.size(); ++i) {
    entries << site.files[i].Entry() << '\n';
    config << "url = \"" << PackageAddress(server.BaseUrl(), site.files[i].path) << "\"\n"
           << "output = \"" << (folder / "peer" / (std::to_string(i) + ".rar")).string() << "\"\n";
  }
}

Site SmallSite(HttpTestServer& server, const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder / "packages");
  std::mt19937_64 random(5);
  Site site{std::to_string(kSmallCount) + " packages of about 20 KB", {}, 0, {}, {}};
  for (int i = 0; i < kSmallCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "File%03d.bmd", i);
    const std::filesystem::path package = folder / "packages" / (std::string(name) + ".rar");
    const uint32_t crc = WritePackage(package, random, kSmallContent);
    AddFile(site, server, std::string("Data\\Small\\") + name, package, crc);
  }
  WriteLists(site, server, folder);
  return site;
}

// The large entries share one package under ten addresses: the worker cannot tell, and one
// 32 MiB package takes seconds to compress instead of a minute for ten.
Site LargeSite(HttpTestServer& server, const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  std::mt19937_64 random(7);
  const std::filesystem::path package = folder / "large.rar";
  const uint32_t crc = WritePackage(package, random, kLargeContent);
  Site site{std::to_string(kLargeCount) + " packages of 32 MiB, incompressible", {}, 0, {}, {}};
  for (int i = 0; i < kLargeCount; ++i) AddFile(site, server, "Data\\Large\\File" + std::to_string(i) + ".bmd", package, crc);
  WriteLists(site, server, folder);
  return site;
}

// Every listed file in place with its checksum, and nothing else left in the game folder (no
// package or unpacked file of an entry): one line a problem, empty when there is none.
std::vector<std::string> InstallProblems(const Site& site, const std::filesystem::path& game) {
  std::vector<std::string> problems;
  std::set<std::filesystem::path> listed;
  for (const SiteFile& file : site.files) {
    const std::filesystem::path where = file.InGame(game);
    listed.insert(where);
    if (!std::filesystem::exists(where)) {
      problems.push_back("missing " + file.path);
    } else if (FileCRC32(where.string()) != file.crc) {
      problems.push_back("wrong content " + file.path);
    }
  }
  for (const auto& item : std::filesystem::recursive_directory_iterator(game)) {
    if (!item.is_directory() && !listed.count(item.path())) {
      problems.push_back("left behind " + std::filesystem::relative(item.path(), game).string());
    }
  }
  return problems;
}

std::vector<std::string> FetchProblems(const Site& site, const std::filesystem::path& peer) {
  std::vector<std::string> problems;
  for (size_t i = 0; i < site.files.size(); ++i) {
    const std::filesystem::path output = peer / (std::to_string(i) + ".rar");
    if (!std::filesystem::exists(output) || std::filesystem::file_size(output) != site.files[i].package_size) {
      problems.push_back("curl did not fetch " + site.files[i].path);
    }
  }
  return problems;
}

// The fastest of a side's rounds, and the largest resident set of any.
struct Best {
  double seconds = 1e30;
  double peak_mib = 0;
  int rounds = 0;
  void Add(const bench::ChildRun& run) {
    seconds = std::min(seconds, run.seconds);
    peak_mib = std::max(peak_mib, run.peak_mib);
    ++rounds;
  }
};

struct Figures {
  Best ahead, one_at_a_time, curl;
  std::vector<std::string> problems;
  std::vector<std::string> notes;  // what is not wrong but costs time, as a package asked for twice
};

class Measurement {
 public:
  Measurement(HttpTestServer& server, const Site& site, const std::filesystem::path& work)
      : server_(server), site_(site), game_(work / "game"), peer_(site.curl_config.parent_path() / "peer") {}

  Figures Run(int rounds, int one_at_a_time_rounds) {
    Figures figures;
    for (int round = 0; round < rounds; ++round) {
      std::vector<std::function<void()>> sides = {
          [&] { Install(figures.ahead, figures, UpdaterSystem::kFetchConnections, UpdaterSystem::kFetchAheadBytes); },
          [&] { if (round < one_at_a_time_rounds) Install(figures.one_at_a_time, figures, 1, 0); },
          [&] { Fetch(figures.curl, figures); }};
      // The order turns each round, so that no side always follows the same one.
      for (size_t k = 0; k < sides.size(); ++k) sides[(round + k) % sides.size()]();
    }
    return figures;
  }

 private:
  void Install(Best& best, Figures& figures, unsigned connections, uint64_t ahead_bytes) {
    std::filesystem::remove_all(game_);
    std::filesystem::create_directories(game_);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::filesystem::path report = game_.parent_path() / "child.out";
    const size_t requests_before = server_.Requests().size();
    bench::ChildRun run = bench::RunChild({self, "--install", server_.BaseUrl(), game_.string(), site_.entries.string(),
                                           std::to_string(connections), std::to_string(ahead_bytes)},
                                          report.string());
    if (double peak_kib = 0; std::ifstream(report) >> peak_kib) run.peak_mib = peak_kib / 1024;
    const std::string side = connections == 1 && ahead_bytes == 0 ? "one at a time" : "ours";
    // Nothing here is cut or refused, so each package should be asked for once.
    const size_t requests = server_.Requests().size() - requests_before;
    if (requests != site_.files.size()) {
      figures.notes.push_back(side + ": " + std::to_string(requests) + " requests for " +
                              std::to_string(site_.files.size()) + " packages");
    }
    if (run.status != 0) figures.problems.push_back(side + ": the stage did not end with every entry installed");
    for (const std::string& problem : InstallProblems(site_, game_)) figures.problems.push_back(side + ": " + problem);
    best.Add(run);
  }

  void Fetch(Best& best, Figures& figures) {
    std::filesystem::remove_all(peer_);
    std::filesystem::create_directories(peer_);
    // Without --parallel-immediate, curl waits to see whether a new transfer can share a
    // connection, and this server closes each after one answer: the transfers then run one
    // after another. curl 7.88 shows its parallel progress meter in spite of -s.
    bench::ChildRun run = bench::RunChild({"curl", "-s", "--no-progress-meter", "--parallel", "--parallel-immediate",
                                           "--parallel-max", std::to_string(kCurlParallel), "-K",
                                           site_.curl_config.string()});
    if (run.status != 0) figures.problems.push_back("curl failed");
    for (const std::string& problem : FetchProblems(site_, peer_)) figures.problems.push_back(problem);
    best.Add(run);
  }

  HttpTestServer& server_;
  const Site& site_;
  std::filesystem::path game_, peer_;
};

void PrintSide(const char* name, const Best& best, bool with_peak) {
  std::printf("  %-44s %8.0f ms", name, best.seconds * 1000);
  if (with_peak) std::printf("   peak %5.1f MiB", best.peak_mib);
  if (best.rounds == 1) std::printf("   (once)\n");
  if (best.rounds > 1) std::printf("   (best of %d)\n", best.rounds);
}

// Prints the three sides; true when every install and fetch was complete and correct.
bool PrintFigures(const Site& site, const Figures& figures) {
  std::printf("\n%s (%.1f MiB of packages), every answer %d ms late:\n", site.title.c_str(),
              site.package_bytes / 1048576.0, static_cast<int>(kAnswerDelay.count()));
  char ours[64], curl[64];
  std::snprintf(ours, sizeof ours, "ours, %u connections, %llu MiB ahead", UpdaterSystem::kFetchConnections,
                static_cast<unsigned long long>(UpdaterSystem::kFetchAheadBytes >> 20));
  std::snprintf(curl, sizeof curl, "curl --parallel, %u connections (fetch only)", kCurlParallel);
  PrintSide(ours, figures.ahead, true);
  PrintSide("one at a time (1 connection, nothing ahead)", figures.one_at_a_time, true);
  PrintSide(curl, figures.curl, false);
  for (size_t i = 0; i < figures.problems.size() && i < kProblemsShown; ++i) {
    std::printf("  PROBLEM: %s\n", figures.problems[i].c_str());
  }
  if (figures.problems.size() > kProblemsShown) std::printf("  ... %zu problems in all\n", figures.problems.size());
  for (size_t i = 0; i < figures.notes.size() && i < kProblemsShown; ++i) std::printf("  note: %s\n", figures.notes[i].c_str());
  if (figures.problems.empty()) std::printf("  every install verified (checksums, nothing left behind)\n");
  std::fflush(stdout);
  return figures.problems.empty();
}

std::vector<std::string> ReadLines(const std::string& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The child: the whole installation stage of the listed entries, with the fetching given; prints
// its peak resident set in KiB. Its own high-water mark, unlike ru_maxrss: a spawned child's
// ru_maxrss counts the resident set of the process that started it (here about 20 MiB).
int Install(char** argv) {
  UpdaterSystem system;
  system.fetch_connections = static_cast<unsigned>(std::stoul(argv[5]));
  system.fetch_ahead_bytes = std::stoull(argv[6]);
  const int status = bench::InstallEntries(argv[2], argv[3], ReadLines(argv[4]), std::move(system));
  for (const std::string& line : ReadLines("/proc/self/status")) {
    if (line.rfind("VmHWM:", 0) == 0) std::printf("%s\n", line.substr(6).c_str());
  }
  return status;
}

// Many small packages: where fetching ahead hides the round trips. True when all was correct.
bool MeasureSmall(HttpTestServer& server, const std::filesystem::path& work) {
  const Site site = SmallSite(server, work / "small");
  const Figures figures = Measurement(server, site, work).Run(kSmallRounds, kSmallOneAtATimeRounds);
  const bool ok = PrintFigures(site, figures);
  std::printf("  ours / curl --parallel = %.2f  (target at most 1.3)\n", figures.ahead.seconds / figures.curl.seconds);
  std::printf("  one at a time / ours   = %.2f  (target at least 3)\n",
              figures.one_at_a_time.seconds / figures.ahead.seconds);
  std::filesystem::remove_all(work / "small");
  return ok;
}

// A few large packages: unpacking is the bottleneck, and fetching ahead must cost nothing.
bool MeasureLarge(HttpTestServer& server, const std::filesystem::path& work) {
  const Site site = LargeSite(server, work / "large");
  const Figures figures = Measurement(server, site, work).Run(kLargeRounds, kLargeRounds);
  const bool ok = PrintFigures(site, figures);
  std::printf("  ours / one at a time   = %.2f  (target at most 1.05)\n",
              figures.ahead.seconds / figures.one_at_a_time.seconds);
  std::printf("  ours / curl --parallel = %.2f  (for reference: curl does not unpack)\n",
              figures.ahead.seconds / figures.curl.seconds);
  std::filesystem::remove_all(work / "large");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "--install") return Install(argv);

  std::filesystem::path work = std::filesystem::path(argc > 1 ? argv[1] : std::filesystem::temp_directory_path()) /
                               ("bench_fetch_ahead_" + std::to_string(getpid()));
  HttpTestServer server(std::chrono::seconds(900));
  server.SetAnswerDelay(kAnswerDelay);
  std::printf("The installation stage (InstallFiles in a child process: download, unpacking, checksum, flush,\n"
              "rename) fetching ahead on %u connections, against the same stage one package at a time and\n"
              "curl --parallel --parallel-immediate --parallel-max %u fetching the same addresses, from a\n"
              "loopback server that waits %d ms before every answer (%u cores)\n",
              UpdaterSystem::kFetchConnections, kCurlParallel, static_cast<int>(kAnswerDelay.count()),
              std::thread::hardware_concurrency());
  const std::string only = argc > 2 ? argv[2] : "";
  bool ok = true;
  if (only != "large") ok = MeasureSmall(server, work) && ok;
  if (only != "small") ok = MeasureLarge(server, work) && ok;
  std::filesystem::remove_all(work);
  return ok ? 0 : 1;
}
