// Byte ranges, validators and If-Range: `update-site serve` and the native tests' loopback server
// answer a client that resumes a cut download alike; the loopback server's faults also apply to
// ranged answers.
#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <thread>

#include "site_fixture.h"
#include "support/http_test_server.h"
#include "update_site/server/dev_server.h"

namespace fs = std::filesystem;

namespace {

using Fetch = std::function<httplib::Result(const httplib::Headers& headers)>;

uint16_t PortOf(const HttpTestServer& server) {
  return static_cast<uint16_t>(std::stoi(server.BaseUrl().substr(std::string("http://127.0.0.1:").size())));
}

Fetch FetchFrom(uint16_t port, const std::string& path) {
  return [port, path](const httplib::Headers& headers) { return httplib::Client("127.0.0.1", port).Get(path, headers); };
}

// The answers to a resuming client, for a resource of `content` that `fetch` gets.
void ExpectRangeAnswers(const Fetch& fetch, const std::string& content) {
  httplib::Result first = fetch({});
  ASSERT_TRUE(first);
  ASSERT_EQ(first->status, 200);
  EXPECT_EQ(first->get_header_value("Accept-Ranges"), "bytes");
  const std::string etag = first->get_header_value("ETag");
  const std::string modified = first->get_header_value("Last-Modified");
  EXPECT_TRUE(etag.size() > 2 && etag.front() == '"' && etag.back() == '"') << etag;
  EXPECT_EQ(modified.size(), 29u) << modified;  // "Mon, 01 Jan 2024 00:00:01 GMT"

  const size_t size = content.size();
  const std::string total = std::to_string(size);
  struct Case {
    const char* what;
    httplib::Headers headers;
    int status;
    size_t offset;
    size_t length;
    std::string content_range;
  };
  const Case cases[] = {
      {"no range", {}, 200, 0, size, ""},
      {"from an offset", {{"Range", "bytes=100-"}}, 206, 100, size - 100, "bytes 100-" + std::to_string(size - 1) + "/" + total},
      {"a span", {{"Range", "bytes=100-199"}}, 206, 100, 100, "bytes 100-199/" + total},
      {"a span past the end", {{"Range", "bytes=" + std::to_string(size - 10) + "-" + std::to_string(size + 1000)}}, 206,
       size - 10, 10, "bytes " + std::to_string(size - 10) + "-" + std::to_string(size - 1) + "/" + total},
      {"the last bytes", {{"Range", "bytes=-10"}}, 206, size - 10, 10,
       "bytes " + std::to_string(size - 10) + "-" + std::to_string(size - 1) + "/" + total},
      {"If-Range with the ETag", {{"Range", "bytes=100-"}, {"If-Range", etag}}, 206, 100, size - 100,
       "bytes 100-" + std::to_string(size - 1) + "/" + total},
      {"If-Range with a stale ETag", {{"Range", "bytes=100-"}, {"If-Range", "\"stale\""}}, 200, 0, size, ""},
      {"If-Range with the weak form of the ETag", {{"Range", "bytes=100-"}, {"If-Range", "W/" + etag}}, 200, 0, size, ""},
      {"If-Range with Last-Modified", {{"Range", "bytes=100-"}, {"If-Range", modified}}, 206, 100, size - 100,
       "bytes 100-" + std::to_string(size - 1) + "/" + total},
      {"If-Range with another date", {{"Range", "bytes=100-"}, {"If-Range", "Mon, 01 Jan 2001 00:00:00 GMT"}}, 200, 0, size, ""},
      {"If-Range without Range", {{"If-Range", "\"stale\""}}, 200, 0, size, ""},
      {"several ranges", {{"Range", "bytes=0-9,20-29"}}, 200, 0, size, ""},
      {"a range from the end", {{"Range", "bytes=" + total + "-"}}, 416, 0, 0, "bytes */" + total},
      {"a range beyond the end", {{"Range", "bytes=" + std::to_string(size + 5) + "-" + std::to_string(size + 9)}}, 416, 0, 0,
       "bytes */" + total},
  };
  for (const Case& c : cases) {
    httplib::Result answer = fetch(c.headers);
    ASSERT_TRUE(answer) << c.what;
    EXPECT_EQ(answer->status, c.status) << c.what;
    EXPECT_TRUE(answer->body == content.substr(c.offset, c.length)) << c.what << ": " << answer->body.size() << " bytes";
    EXPECT_EQ(answer->get_header_value("Content-Length"), std::to_string(c.length)) << c.what;
    EXPECT_EQ(answer->get_header_value("Content-Range"), c.content_range) << c.what;
    EXPECT_EQ(answer->get_header_value("ETag"), etag) << c.what;
  }
}

// What a client that reads to the close received of a ranged answer, with its head.
struct Received {
  int status = 0;
  std::string content_length;
  std::string body;
};

Received ReceiveUntilClosed(uint16_t port, const std::string& path, const httplib::Headers& headers) {
  Received received;
  httplib::Client("127.0.0.1", port)
      .Get(
          path, headers,
          [&](const httplib::Response& response) {
            received.status = response.status;
            received.content_length = response.get_header_value("Content-Length");
            return true;
          },
          [&](const char* data, size_t size) {
            received.body.append(data, size);
            return true;
          });
  return received;
}

class RangeTest : public ::testing::Test {
 protected:
  const std::string content_ = SampleBytes(200000, 11, false);
};

}  // namespace

TEST_F(RangeTest, ServeAnswersRangesOfFiles) {
  TempDir dir;
  WriteFile(dir / "site/Data/Item.bmd.rar", content_);
  ServeOptions options;
  options.site_dir = (dir / "site").string();
  options.port = 0;
  DevServer server(options);
  ExpectRangeAnswers(FetchFrom(server.Port(), "/Data/Item.bmd.rar"), content_);
}

TEST_F(RangeTest, ServeGivesARebuiltPackageANewETag) {
  TempDir dir;
  WriteFile(dir / "site/f.rar", content_);
  fs::last_write_time(dir / "site/f.rar", fs::file_time_type::clock::now() - std::chrono::hours(1));
  ServeOptions options;
  options.site_dir = (dir / "site").string();
  options.port = 0;
  DevServer server(options);
  const Fetch fetch = FetchFrom(server.Port(), "/f.rar");
  const httplib::Result old_answer = fetch({});
  ASSERT_TRUE(old_answer);
  // The same size, as a rebuilt package may have: only the time tells them apart.
  const std::string rebuilt = SampleBytes(content_.size(), 12, false);
  WriteFile(dir / "site/f.rar", rebuilt);
  const httplib::Result answer = fetch({{"Range", "bytes=100-"}, {"If-Range", old_answer->get_header_value("ETag")}});
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_TRUE(answer->body == rebuilt);
  EXPECT_NE(answer->get_header_value("ETag"), old_answer->get_header_value("ETag"));
  EXPECT_NE(answer->get_header_value("Last-Modified"), old_answer->get_header_value("Last-Modified"));
}

TEST_F(RangeTest, TheTestServerAnswersRangesOfBodiesAndFiles) {
  TempDir dir;
  WriteFile(dir / "f.rar", content_);
  HttpTestServer server;
  server.Serve("/body.rar", content_);
  server.ServeFile("/file.rar", dir / "f.rar");
  const uint16_t port = PortOf(server);
  ExpectRangeAnswers(FetchFrom(port, "/body.rar"), content_);
  ExpectRangeAnswers(FetchFrom(port, "/file.rar?any=query"), content_);

  const std::vector<HttpRequestSeen> requests = server.Requests();
  ASSERT_GE(requests.size(), 7u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[6].range, "bytes=100-");
  EXPECT_EQ(requests[6].if_range, "\"1\"");  // the first body served
  EXPECT_NE(requests[6].headers.find("Range: bytes=100-\r\n"), std::string::npos) << requests[6].headers;
}

TEST_F(RangeTest, TheTestServerGivesEveryNewBodyANewETag) {
  HttpTestServer server;
  const uint16_t port = PortOf(server);
  const Fetch fetch = FetchFrom(port, "/f.rar");
  server.Serve("/f.rar", content_);
  const httplib::Result first = fetch({});
  server.Serve("/f.rar", "a new body");
  for (const char* validator : {"ETag", "Last-Modified"}) {
    const httplib::Result answer = fetch({{"Range", "bytes=2-"}, {"If-Range", first->get_header_value(validator)}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200) << validator;
    EXPECT_EQ(answer->body, "a new body") << validator;
    EXPECT_NE(answer->get_header_value(validator), first->get_header_value(validator));
  }
}

TEST_F(RangeTest, TheTestServersFaultsApplyToRangedAnswers) {
  HttpTestServer server;
  const uint16_t port = PortOf(server);
  server.Serve("/f.rar", content_);
  const httplib::Headers from_100 = {{"Range", "bytes=100-"}};
  struct Case {
    const char* what;
    HttpFault fault;
    int status;
    std::string content_length;
    std::string body;
  };
  const Case cases[] = {
      {"no fault", {}, 206, "199900", content_.substr(100)},
      {"ignores ranges", {.ignore_ranges = true}, 200, "200000", content_},
      {"cut within the part", {.cut_after = 10}, 206, "199900", content_.substr(100, 10)},
      {"announced longer than the part", {.extra_length = 5}, 206, "199905", content_.substr(100)},
      {"no length", {.no_length = true}, 206, "", content_.substr(100)},
      {"an error status", {.status = 503}, 503, "", ""},
  };
  for (const Case& c : cases) {
    server.SetFault("/f.rar", c.fault);
    Received received = ReceiveUntilClosed(port, "/f.rar", from_100);
    EXPECT_EQ(received.status, c.status) << c.what;
    if (c.status == 503) continue;
    EXPECT_EQ(received.content_length, c.content_length) << c.what;
    EXPECT_TRUE(received.body == c.body) << c.what << ": " << received.body.size() << " bytes";
  }
  server.SetFault("/f.rar", {.ignore_ranges = true});
  httplib::Result whole = FetchFrom(port, "/f.rar")(from_100);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->get_header_value("Content-Range"), "");
  EXPECT_FALSE(whole->has_header("Accept-Ranges"));
}

TEST_F(RangeTest, ATestServerFaultLastsItsNumberOfTimes) {
  HttpTestServer server;
  const Fetch fetch = FetchFrom(PortOf(server), "/f.rar");
  server.Serve("/f.rar", content_);
  auto statuses = [&](int count) {
    std::vector<int> seen;
    for (int i = 0; i < count; ++i) {
      httplib::Result answer = fetch({{"Range", "bytes=100-"}});
      seen.push_back(answer ? answer->status : 0);
    }
    return seen;
  };
  server.SetFault("/f.rar", {.status = 500, .times = 2});
  EXPECT_EQ(statuses(3), (std::vector<int>{500, 500, 206}));
  server.SetFault("/f.rar", {.ignore_ranges = true, .times = 1});
  EXPECT_EQ(statuses(2), (std::vector<int>{200, 206}));
  server.SetFault("/f.rar", {.status = 404, .times = 0});
  EXPECT_EQ(statuses(1), (std::vector<int>{206}));
  server.SetFault("/f.rar", {.status = 404});
  EXPECT_EQ(statuses(3), (std::vector<int>{404, 404, 404}));
}

TEST(HttpTestServerLifetime, StopsByItselfWhenItsLifetimeEnds) {
  HttpTestServer server(std::chrono::seconds(1));
  server.Serve("/f", "body");
  const Fetch fetch = FetchFrom(PortOf(server), "/f");
  ASSERT_TRUE(fetch({}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_FALSE(fetch({}));
}
