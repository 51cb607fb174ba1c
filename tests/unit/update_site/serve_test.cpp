// `update-site serve`: files, 404s, the configuration endpoint, and no way out of the folders.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "site_fixture.h"
#include "transfer/package_address.h"
#include "update_site/server/dev_server.h"

namespace fs = std::filesystem;

namespace {

// One connection to the server on 127.0.0.1, as a client writes it byte for byte.
class Connection {
 public:
  explicit Connection(uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~Connection() { close(fd_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool SendAll(const std::string& bytes) const {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // What arrives within 5 s: 0 or less when the connection closed, failed or stayed silent.
  long Receive(char* buffer, size_t size) const {
    pollfd readable{fd_, POLLIN, 0};
    if (poll(&readable, 1, 5000) <= 0) return -1;
    return static_cast<long>(recv(fd_, buffer, size, 0));
  }

 private:
  int fd_;
};

struct Reply {
  int status = 0;
  std::string head;
  std::string body;
};

// Reads one answer from the connection: the head, then Content-Length bytes.
Reply ReadReply(const Connection& connection, bool head_only = false) {
  std::string received;
  char block[65536];
  Reply reply;
  size_t end;
  while ((end = received.find("\r\n\r\n")) == std::string::npos) {
    long got = connection.Receive(block, sizeof block);
    if (got <= 0) return reply;
    received.append(block, static_cast<size_t>(got));
  }
  reply.head = received.substr(0, end + 4);
  reply.status = std::stoi(reply.head.substr(9, 3));
  size_t length_at = reply.head.find("Content-Length: ");
  size_t length = head_only ? 0 : std::stoul(reply.head.substr(length_at + 16));
  reply.body = received.substr(end + 4);
  while (reply.body.size() < length) {
    long got = connection.Receive(block, sizeof block);
    if (got <= 0) break;
    reply.body.append(block, static_cast<size_t>(got));
  }
  return reply;
}

class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "secret.txt", "SECRET");
    WriteFile(dir_ / "site/mu.update", "[Download]\r\n[/Download]\r\n");
    WriteFile(dir_ / "site/Data/Item.bmd.rar", SampleBytes(200000, 5, false));
    WriteFile(dir_ / "site/Data/with space.txt.rar", "spaced");
    WriteFile(dir_ / "site/.update-site-cache", "private");
    WriteFile(dir_ / "config/token-1.json", "{\"config\":{\"Title\":\"one\"}}");
    WriteFile(dir_ / "config/default.json", "{\"config\":{\"Title\":\"default\"}}");
    ServeOptions options;
    options.site_dir = (dir_ / "site").string();
    options.config_dir = (dir_ / "config").string();
    options.port = 0;
    options.lifetime_seconds = 60;
    server_ = std::make_unique<DevServer>(options);
    serving_ = std::jthread([this] { server_->Run(nullptr); });
  }
  void TearDown() override { StopServing(); }

  void StopServing() {
    server_->Stop();
    if (serving_.joinable()) serving_.join();
  }

  ServeOptions OptionsOnPort(uint16_t port) const {
    ServeOptions options;
    options.site_dir = (dir_ / "site").string();
    options.port = port;
    options.lifetime_seconds = 60;
    return options;
  }

  Reply Request(const std::string& target, const std::string& method = "GET") {
    Connection connection(server_->Port());
    const std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    EXPECT_TRUE(connection.SendAll(request));
    return ReadReply(connection, method == "HEAD");
  }

  TempDir dir_;
  std::unique_ptr<DevServer> server_;
  std::jthread serving_;
};

}  // namespace

TEST_F(ServeTest, AnswersFilesWithTheirLength) {
  Reply list = Request("/mu.update");
  EXPECT_EQ(list.status, 200);
  EXPECT_EQ(list.body, "[Download]\r\n[/Download]\r\n");
  EXPECT_NE(list.head.find("Content-Length: 25\r\n"), std::string::npos) << list.head;

  Reply package = Request("/Data/Item.bmd.rar");
  EXPECT_EQ(package.status, 200);
  EXPECT_EQ(package.body, ReadFile(dir_ / "site/Data/Item.bmd.rar"));
  EXPECT_EQ(Request("/Data/with%20space.txt.rar").body, "spaced");

  Reply head = Request("/Data/Item.bmd.rar", "HEAD");
  EXPECT_EQ(head.status, 200);
  EXPECT_NE(head.head.find("Content-Length: 200000\r\n"), std::string::npos) << head.head;
  EXPECT_EQ(head.body, "");
}

TEST_F(ServeTest, KeepsAConnectionOpenForMoreRequests) {
  Connection connection(server_->Port());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(connection.SendAll("GET /mu.update HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    Reply reply = ReadReply(connection);
    EXPECT_EQ(reply.status, 200) << i;
    EXPECT_EQ(reply.body, "[Download]\r\n[/Download]\r\n") << i;
  }
}

TEST_F(ServeTest, MissingFilesFoldersAndTheBuildCacheAre404) {
  for (const char* target : {"/nothing.rar", "/", "/Data", "/Data/", "/.update-site-cache", "/mu.update.update-site-tmp"}) {
    EXPECT_EQ(Request(target).status, 404) << target;
  }
  EXPECT_EQ(Request("/mu.update", "POST").status, 405);
}

TEST_F(ServeTest, NothingOutsideTheFolderCanBeReached) {
  for (const char* target : {"/../secret.txt", "/%2e%2e/secret.txt", "/Data/..%2f..%2fsecret.txt", "/..\\secret.txt",
                             "/Data%5c..%5c..%5csecret.txt", "/%2Fetc%2Fpasswd", "//etc/passwd", "/C:%5cWindows",
                             "/mu.update%00.rar", "http://127.0.0.1/../secret.txt"}) {
    Reply reply = Request(target);
    EXPECT_NE(reply.status, 200) << target;
    EXPECT_EQ(reply.body.find("SECRET"), std::string::npos) << target;
  }
}

TEST_F(ServeTest, TheConfigurationEndpointAnswersPerToken) {
  struct Case {
    const char* target;
    const char* title;
  };
  const Case cases[] = {
      {"/api/return.php?token=token-1", "one"},        {"/api/return.php?token=token%2D1", "one"},
      {"/api/return.php?token=unknown", "default"},    {"/api/return.php?token=", "default"},
      {"/api/return.php", "default"},                  {"/api/return.php?token=../secret", "default"},
      {"/api/return.php?token=..%2Fsecret", "default"}, {"/api/return.php?x=1&token=token-1", "one"},
  };
  for (const Case& c : cases) {
    Reply reply = Request(c.target);
    EXPECT_EQ(reply.status, 200) << c.target;
    EXPECT_NE(reply.body.find(std::string("\"Title\":\"") + c.title + "\""), std::string::npos) << c.target << reply.body;
    EXPECT_NE(reply.head.find("application/json"), std::string::npos);
  }
  fs::remove(dir_ / "config/default.json");
  EXPECT_EQ(Request("/api/return.php?token=unknown").status, 404);
}

// A port as the end-to-end tests' server leaves it (SO_REUSEADDR, no SO_REUSEPORT): it answered
// a connection and closed it first, so the connection waits out TIME_WAIT on the port.
uint16_t PortLeftInTimeWait() {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  EXPECT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const uint16_t port = ntohs(address.sin_port);
  {
    Connection client(port);
    close(accept(listener, nullptr, nullptr));
    char end;
    EXPECT_EQ(client.Receive(&end, 1), 0);
  }
  close(listener);
  return port;
}

// The demo starts its server on the port that the tests' servers used a moment before.
TEST_F(ServeTest, APortLeftInTimeWaitByAnotherServerCanBeTakenAtOnce) {
  EXPECT_NO_THROW(DevServer again(OptionsOnPort(PortLeftInTimeWait())));
}

TEST_F(ServeTest, APortWhereAnotherServerListensIsRefused) {
  try {
    DevServer second(OptionsOnPort(server_->Port()));
    ADD_FAILURE() << "a second server listens on the same port";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "cannot listen on 127.0.0.1:" + std::to_string(server_->Port()));
  }
  EXPECT_EQ(Request("/mu.update").status, 200);
}

TEST(Serve, PrintsWhereItServesAndStopsAfterItsLifetime) {
  TempDir dir;
  WriteFile(dir / "site/mu.update", "");
  const auto start = std::chrono::steady_clock::now();
  std::string out;
  EXPECT_EQ(RunTool({"serve", (dir / "site").string(), "--port", "0", "--lifetime", "1"}, &out), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(out.rfind("Serving " + (dir / "site").string() + " on http://127.0.0.1:", 0), 0u) << out;
}

TEST_F(ServeTest, ServesTheIndexOfDeltasAndTheDeltasAtTheirEncodedAddresses) {
  const std::string location = "deltas/Data/with space.txt.0a1b2c3d-4e5f6a7b.zst";
  WriteFile(dir_ / "site/mu.update.deltas", "launcher-deltas 1\n");
  WriteFile(dir_ / "site" / location, "a delta");
  WriteFile(dir_ / "site" / (location + ".update-site-tmp"), "not yet published");
  EXPECT_EQ(Request("/mu.update.deltas").body, "launcher-deltas 1\n");
  Reply delta = Request("/" + EncodeAddressPath(location));
  EXPECT_EQ(delta.status, 200);
  EXPECT_EQ(delta.body, "a delta");
  EXPECT_EQ(Request("/" + EncodeAddressPath(location + ".update-site-tmp")).status, 404);
}
