// Installing one 64 MiB package from a loopback server through the worker's own installation
// (download, unpacking, check and rename), against `curl -o` followed by `bzip2 -dc` of the
// same package in the same run. Each side runs as a child process, so its time includes the
// process start and its peak resident memory is its own.
// Usage: bench_install [folder]   (default: the system's temporary folder)
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "common/language.h"
#include "support/http_test_server.h"
#include "support/test_window_thread.h"
#include "updater/crc32.h"
#include "updater/files_thread.h"
#include "updater/updater_state.h"
#include "updater/updater_texts.h"

namespace {

constexpr size_t kContentSize = size_t{64} << 20;
constexpr int kRounds = 3;
const std::string kPath = "Data\\Big.bmd";

// A view that shows nothing; the hand-overs still run on the window thread.
class NullView : public LauncherView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetDetailText(const std::string& text) override { detail = text; }
  void SetDetailVisible(bool) override {}
  void SetFileProgress(int32_t) override {}
  void SetFileProgressMax(int32_t) override {}
  void SetTotalProgress(int32_t) override {}
  void SetTotalProgressMax(int32_t) override {}
  void SetPlayVisible(bool) override {}
  void SetServerLogo(const Picture&) override {}
  void SetSlideImage(const Picture&) override {}
  void SetWindowCaption(const std::string&) override {}
  void SetApplicationTitle(const std::string&) override {}
  void SetWindowModeCaption(const std::string&) override {}
  void SetWindowModeChecked(bool) override {}
  std::string detail;
};

// The child: one installation of the entry from the update location into the game folder.
int Install(const std::string& url, const std::string& game_folder, const std::string& entry) {
  std::filesystem::current_path(game_folder);
  SetCurrentLanguage(Language::Eng);
  NullView view;
  TestWindowThread window;
  GFilesThread worker(view, window);
  worker.Dir = game_folder + "\\";
  worker.UUrl = url;
  worker.FilesToGet = {entry};
  window.RunWorker([&] { worker.InstallFiles(); });
  return view.detail == updater_texts::FinishedClean().english ? 0 : 1;
}

// Content that bzip2 cannot shrink, so the package itself is about 64 MiB.
uint32_t WriteContent(const std::filesystem::path& path) {
  std::mt19937_64 random(3);
  std::ofstream out(path, std::ios::binary);
  std::vector<uint64_t> block(8192);
  uint32_t crc = 0;
  for (size_t written = 0; written < kContentSize; written += block.size() * 8) {
    for (auto& word : block) word = random();
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    crc = Crc32(crc, block.data(), block.size() * 8);
  }
  return crc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--install") return Install(argv[2], argv[3], argv[4]);

  std::filesystem::path work = std::filesystem::path(argc > 1 ? argv[1] : std::filesystem::temp_directory_path()) /
                               ("bench_install_" + std::to_string(getpid()));
  std::filesystem::create_directories(work / "game");
  const uint32_t crc = WriteContent(work / "content");
  bench::RunChild({"bzip2", "-c", "-9", (work / "content").string()}, (work / "package").string());
  const auto package_size = std::filesystem::file_size(work / "package");
  const std::string entry = kPath + "|" + Crc32Text(crc) + "|" + std::to_string(package_size);

  HttpTestServer server(std::chrono::seconds(900));
  server.ServeFile("/Data/Big.bmd.rar", work / "package");
  const std::string url = server.BaseUrl() + "Data/Big.bmd.rar";
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

  bench::ChildRun ours{1e30}, curl{1e30}, bzip2{1e30};
  double peak = 0;
  bool installed = true;
  for (int round = 0; round < kRounds; ++round) {
    bench::ChildRun run = bench::RunChild({self, "--install", server.BaseUrl(), (work / "game").string(), entry});
    installed = installed && run.status == 0 && FileCRC32((work / "game" / "Data" / "Big.bmd").string()) == crc;
    peak = std::max(peak, run.peak_mib);
    if (run.seconds < ours.seconds) ours = run;
    bench::ChildRun fetch = bench::RunChild({"curl", "-s", "-o", (work / "peer.rar").string(), url});
    bench::ChildRun unpack = bench::RunChild({"bzip2", "-dc", (work / "peer.rar").string()}, (work / "peer.bmd").string());
    if (fetch.seconds + unpack.seconds < curl.seconds + bzip2.seconds) curl = fetch, bzip2 = unpack;
  }
  std::filesystem::remove_all(work);

  const double peers = curl.seconds + bzip2.seconds;
  std::printf("Installing one package of %.1f MiB (%.0f MiB unpacked) from a loopback server (best of %d)\n",
              package_size / 1048576.0, kContentSize / 1048576.0, kRounds);
  std::printf("  DownloadFile + ExtractFile (process)  %7.0f ms   peak %5.1f MiB (largest of all rounds)\n",
              ours.seconds * 1000, peak);
  std::printf("  curl -o                               %7.0f ms   peak %5.1f MiB\n", curl.seconds * 1000, curl.peak_mib);
  std::printf("  bzip2 -dc                             %7.0f ms   peak %5.1f MiB\n", bzip2.seconds * 1000, bzip2.peak_mib);
  std::printf("  ours / (curl + bzip2) = %.2f  (target at most 1.2)\n", ours.seconds / peers);
  std::printf("  peak below 64 MiB: %s; installed file verified: %s\n", peak < 64 ? "yes" : "NO", installed ? "yes" : "NO");
  return installed && peak < 64 ? 0 : 1;
}
