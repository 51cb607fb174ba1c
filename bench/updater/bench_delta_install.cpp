// A whole update of the delta corpus (bench/deltas_corpus/make_corpus.py) through the worker's
// own check and installation stages, from a loopback server whose line carries 2 MiB/s (a
// 16 Mbit/s line): through the deltas that update-site build published beside the packages,
// against the same site without its index (today's whole packages), in the same run.
// Usage: bench_delta_install CORPUS_FOLDER [WORK_FOLDER]
//   (WORK_FOLDER default: the system's temporary folder)
#include <rapidjson/document.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench_util.h"
#include "bench_worker.h"
#include "delta/delta_index.h"
#include "support/http_test_server.h"
#include "update_list/list_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kLineRate = int64_t{2} << 20;

struct Pair {
  std::string name, path;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Pair> ReadCorpus(const fs::path& folder) {
  rapidjson::Document document;
  const std::string text = ReadAll(folder / "corpus.json");
  document.Parse(text.data(), text.size());
  if (document.HasParseError() || !document.IsArray()) throw std::runtime_error("corpus.json cannot be read");
  std::vector<Pair> pairs;
  for (const auto& pair : document.GetArray()) pairs.push_back({pair["name"].GetString(), pair["path"].GetString()});
  return pairs;
}

void WriteGame(const fs::path& game, const fs::path& corpus, const std::vector<Pair>& pairs, const char* version) {
  fs::remove_all(game);
  for (const Pair& pair : pairs) {
    fs::create_directories((game / pair.path).parent_path());
    fs::copy_file(corpus / pair.name / version, game / pair.path);
  }
}

void Build(const fs::path& game, const fs::path& site) {
  const bench::ChildRun run = bench::RunChild({UPDATE_SITE_PROGRAM, "build", game.string(), site.string()}, "/dev/null");
  if (run.status != 0) throw std::runtime_error("update-site build failed");
  std::printf("  update-site build %-4s %6.1f s\n", game.filename().c_str(), run.seconds);
}

struct Round {
  double seconds = 0;
  uint64_t bytes = 0;  // of the files the server sent whole
  std::map<std::string, uint64_t> bytes_by_path;  // by game path: its package or its deltas
  bool installed = false;
};

Round Update(HttpTestServer& server, const fs::path& site, const fs::path& game, const fs::path& corpus,
             const std::vector<Pair>& pairs, const std::vector<std::string>& lines) {
  WriteGame(game, corpus, pairs, "old");
  const size_t before = server.Requests().size();
  const auto start = std::chrono::steady_clock::now();
  Round round;
  round.installed = bench::CheckAndInstall(server.BaseUrl(), game.string(), lines) == 0;
  round.seconds = bench::SecondsSince(start);
  const std::vector<HttpRequestSeen> requests = server.Requests();
  for (size_t i = before; i < requests.size(); ++i) {
    const fs::path file = site / requests[i].path.substr(1);
    if (!fs::is_regular_file(file)) continue;
    round.bytes += fs::file_size(file);
    for (const Pair& pair : pairs) {
      const std::string& path = requests[i].path;
      if (path == "/" + pair.path + ".rar" || path.starts_with("/deltas/" + pair.path + ".")) {
        round.bytes_by_path[pair.path] += fs::file_size(file);
      }
    }
  }
  for (const Pair& pair : pairs) {
    if (ReadAll(game / pair.path) != ReadAll(corpus / pair.name / "new")) round.installed = false;
  }
  return round;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER [WORK_FOLDER]\n", argv[0]);
    return 2;
  }
  const fs::path corpus = fs::absolute(argv[1]);
  const fs::path work = fs::absolute(argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path()) / "bench_delta_install";
  fs::remove_all(work);
  fs::create_directories(work);
  const std::vector<Pair> pairs = ReadCorpus(corpus);

  std::printf("The site, built release after release into one folder:\n");
  WriteGame(work / "old", corpus, pairs, "old");
  Build(work / "old", work / "site");
  WriteGame(work / "new", corpus, pairs, "new");
  Build(work / "new", work / "site");

  HttpTestServer server(std::chrono::seconds(3600));
  for (const auto& entry : fs::recursive_directory_iterator(work / "site")) {
    if (entry.is_regular_file()) server.ServeFile("/" + fs::relative(entry.path(), work / "site").generic_string(), entry.path());
  }
  server.SetLineRate(kLineRate);
  const std::vector<std::string> lines = TListFile((work / "site" / "mu.update").string()).GetFSection("Download");

  Round deltas = Update(server, work / "site", work / "game", corpus, pairs, lines);
  server.Serve(std::string("/") + DeltaIndexFileName, "", 404);
  Round packages = Update(server, work / "site", work / "game", corpus, pairs, lines);

  std::printf("\nThe update of %zu files from a line of 2 MiB/s, old versions to new, by InstallFiles:\n", pairs.size());
  std::printf("  %-30s %9.2f s  %12llu bytes%s\n", "through deltas", deltas.seconds,
              static_cast<unsigned long long>(deltas.bytes), deltas.installed ? "" : "  NOT INSTALLED");
  std::printf("  %-30s %9.2f s  %12llu bytes%s\n", "whole packages (no index)", packages.seconds,
              static_cast<unsigned long long>(packages.bytes), packages.installed ? "" : "  NOT INSTALLED");
  std::printf("  packages / deltas: %.1f times faster (target at least 5), %.1f times fewer bytes\n",
              packages.seconds / deltas.seconds, static_cast<double>(packages.bytes) / static_cast<double>(deltas.bytes));
  std::printf("\n  %-24s %14s %14s\n", "bytes by file", "deltas", "package");
  // A file replaced wholly gains nothing from a delta and bounds what the rest can gain.
  uint64_t changed_deltas = 0, changed_packages = 0;
  for (const Pair& pair : pairs) {
    const uint64_t through_deltas = deltas.bytes_by_path[pair.path], whole = packages.bytes_by_path[pair.path];
    std::printf("  %-24s %14llu %14llu\n", pair.path.c_str(), static_cast<unsigned long long>(through_deltas),
                static_cast<unsigned long long>(whole));
    if (through_deltas * 10 < whole * 9) {
      changed_deltas += through_deltas;
      changed_packages += whole;
    }
  }
  if (changed_deltas > 0) {
    std::printf("  the files a delta helps (the others were replaced wholly): %.1f times fewer bytes\n",
                static_cast<double>(changed_packages) / static_cast<double>(changed_deltas));
  }
  fs::remove_all(work);
  return deltas.installed && packages.installed ? 0 : 1;
}
