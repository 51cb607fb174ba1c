#include "remote/web_retrieval.h"

#include <gtest/gtest.h>

#include "platform/posix/test_hooks.h"
#include "support/http_test_server.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class WebRetrievalTest : public testing::Test {
 protected:
  void SetUp() override { platform::posix_debug::TakeLines(); }
  HttpTestServer server_;
};

// Whatever the status, the body is the result: text decoded byte by byte from Windows-1252,
// and the same bytes unchanged in the stream.
TEST_F(WebRetrievalTest, BodiesAsTextAndAsBytes) {
  struct Case {
    const char* name;
    int status;
    std::string body;
    int64_t missing_bytes;  // announced beyond the body: the connection ends with the body cut short
    std::string text;
  };
  const std::string k1024(1024, 'x'), k2049 = std::string(2049, 'y');
  const Case cases[] = {
      {"exactly one read", 200, k1024, 0, k1024},
      {"three reads", 200, k2049, 0, k2049},
      {"empty", 200, "", 0, ""},
      {"zero byte", 200, std::string("a\0b", 3), 0, std::string("a\0b", 3)},
      {"UTF-8 read as 1252", 200, "a\xC3\xA7\xC3\xA3o \xE2\x82\xAC", 0, "a\xC3\x83\xC2\xA7\xC3\x83\xC2\xA3o \xC3\xA2\xE2\x80\x9A\xC2\xAC"},
      {"error page", 404, "<html>Not here</html>", 0, "<html>Not here</html>"},
      {"cut short", 200, "partial", 5000 - 7, "partial"},
  };
  for (const Case& c : cases) {
    std::string target = std::string("/") + std::to_string(&c - cases);
    server_.Serve(target, c.body, c.status);
    if (c.missing_bytes) server_.SetFault(target, {.extra_length = c.missing_bytes});
    EXPECT_EQ(GetURLContent(server_.Url(target)), c.text) << c.name;
    std::vector<uint8_t> stream;
    EXPECT_TRUE(DownloadToStream(server_.Url(target), stream)) << c.name;
    EXPECT_EQ(stream, Bytes(c.body)) << c.name;
  }
  for (const auto& request : server_.Requests()) EXPECT_EQ(request.user_agent, "DelphiApp");
  EXPECT_TRUE(platform::posix_debug::TakeLines().empty());
}

TEST_F(WebRetrievalTest, AddressesThatCannotBeOpened) {
  for (const std::string& url : {RefusedUrl(), std::string("not an address"), std::string("http://")}) {
    EXPECT_EQ(GetURLContent(url), "") << url;
    std::vector<uint8_t> stream = {1, 2, 3};
    EXPECT_FALSE(DownloadToStream(url, stream)) << url;
    EXPECT_EQ(stream, (std::vector<uint8_t>{1, 2, 3})) << "the stream stays untouched";
  }
  EXPECT_TRUE(platform::posix_debug::TakeLines().empty()) << "a failed fetch is reported nowhere";
}

}  // namespace

// The configuration document and the logo are read to 16 MiB at most: an answer that goes on
// past it, with its length announced or not, gives nothing rather than filling memory.
TEST_F(WebRetrievalTest, ABodyOver16MiBGivesNothing) {
  const size_t bound = size_t{16} << 20;
  server_.Serve("/whole", std::string(bound, 'x'));
  EXPECT_EQ(GetURLContent(server_.Url("/whole")).size(), bound);
  server_.Serve("/larger", std::string(bound + 1, 'x'));
  for (bool announced : {true, false}) {
    server_.SetFault("/larger", {.no_length = !announced});
    EXPECT_EQ(GetURLContent(server_.Url("/larger")), "") << announced;
    ASSERT_EQ(platform::posix_debug::TakeLines().size(), 1u) << announced;
    std::vector<uint8_t> stream = {1, 2, 3};
    EXPECT_FALSE(DownloadToStream(server_.Url("/larger"), stream)) << announced;
    EXPECT_EQ(stream, (std::vector<uint8_t>{1, 2, 3})) << "the stream stays as it was";
  }
}
