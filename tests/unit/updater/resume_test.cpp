#include <bzlib.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "crc32/crc32.h"
#include "updater_fixture.h"

namespace {

std::string RandomBytes(size_t size) {
  std::mt19937 random(11);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

// The same content packed with 100k blocks: other bytes, so another version for the server.
std::string Bzip2AtLevel1(const std::string& data) {
  unsigned capacity = static_cast<unsigned>(data.size() + data.size() / 100 + 600);
  std::string out(capacity, '\0');
  BZ2_bzBuffToBuffCompress(out.data(), &capacity, const_cast<char*>(data.data()), static_cast<unsigned>(data.size()),
                           1, 0, 0);
  out.resize(capacity);
  return out;
}


}  // namespace

// Cut transfers: resumed from the bytes already received while the server has the same
// package (If-Range), started over when it does not; the file is never made of two versions.
class ResumeTest : public UpdaterTest {
 protected:
  void Install(const std::string& entry) {
    Worker().FilesToGet = {entry};
    OnWorker([&] { Worker().InstallFiles(); });
  }
  // The requests for a path, in order.
  std::vector<HttpRequestSeen> RequestsFor(const std::string& path) const {
    std::vector<HttpRequestSeen> requests;
    for (const auto& request : server.Requests()) {
      if (request.path == path) requests.push_back(request);
    }
    return requests;
  }

  const std::string content_ = RandomBytes(400000);
  const std::string path_ = PackagePath("Data\\big.bmd");
};

TEST_F(ResumeTest, ACutTransferGoesOnWhereItWasCut) {
  const std::string entry = Publish("Data\\big.bmd", content_);
  server.SetFault(path_, {.cut_after = 100000, .times = 2});
  Install(entry);
  EXPECT_EQ(ReadGameFile("Data\\big.bmd"), content_);
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  const std::vector<HttpRequestSeen> requests = RequestsFor(path_);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[1].range, "bytes=100000-");
  EXPECT_EQ(requests[2].range, "bytes=200000-");
  EXPECT_NE(requests[1].if_range, "");
  EXPECT_EQ(requests[2].if_range, requests[1].if_range);
  EXPECT_EQ(GameFiles(), (std::vector<std::string>{"Data/big.bmd", "Launcher.exe"}));
}

TEST_F(ResumeTest, AServerWithoutRangesSendsTheWholePackageAgain) {
  const std::string entry = Publish("Data\\big.bmd", content_);
  server.SetFault(path_, {.cut_after = 100000, .ignore_ranges = true, .times = 1});
  Install(entry);
  EXPECT_EQ(ReadGameFile("Data\\big.bmd"), content_);
  EXPECT_EQ(RequestsFor(path_).size(), 2u);
}

// The server holds the first answer; meanwhile the operator republishes the same file packed
// another way. The resume names the old version, so the server sends the new one whole.
TEST_F(ResumeTest, APackageChangedBeforeTheResumeIsFetchedAgainWhole) {
  const std::string entry = Publish("Data\\big.bmd", content_);
  system.receive_timeout_ms = 300;
  server.SetFault(path_, {.stall_after = 100000, .stall_ms = 3000, .times = 1});
  std::atomic<bool> stop{false};
  std::thread republisher([&] {
    while (!stop && RequestsFor(path_).empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    server.Serve(path_, Bzip2AtLevel1(content_), 200);
  });
  Install(entry);
  stop = true;
  republisher.join();
  EXPECT_EQ(ReadGameFile("Data\\big.bmd"), content_);
  const std::vector<HttpRequestSeen> requests = RequestsFor(path_);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].range, "") << "the launcher asked to resume; the server sent the new version whole";
}

// Unpacking goes on across the resumed requests, from the bytes already received.
TEST_F(ResumeTest, ResumingKeepsTheStreamWhole) {
  const std::string entry = Publish("Data\\big.bmd", content_);
  server.SetFault(path_, {.cut_after = 1, .times = 3});
  Install(entry);
  EXPECT_EQ(ReadGameFile("Data\\big.bmd"), content_);
  EXPECT_EQ(RequestsFor(path_).size(), 4u);
}
