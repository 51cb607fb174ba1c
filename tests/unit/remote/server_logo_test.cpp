#include "remote/server_logo.h"

#include <gtest/gtest.h>

#include "remote/picture_decoders.h"
#include "support/http_test_server.h"
#include "support/recording_view.h"
#include "test_pictures.h"

namespace {

using test_pictures::PngLayout;

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(LogoFormatTest, ExtensionRule) {
  struct Case {
    const char* address;
    LogoFormat format;
  };
  const Case cases[] = {
      {"http://h/logo.png", LogoFormat::Png},        {"http://h/logo.PNG", LogoFormat::Png},
      {"http://h/logo.Png", LogoFormat::Png},        {"http://h/a.b/logo.x.png", LogoFormat::Png},
      {"C:\\art\\logo.png", LogoFormat::Png},        {"http://h/logo.png?v=2", LogoFormat::Jpeg},
      {"http://h/logo.jpg", LogoFormat::Jpeg},       {"http://h/logo.jpeg", LogoFormat::Jpeg},
      {"http://h/logo.gif", LogoFormat::Jpeg},       {"http://h.png/logo", LogoFormat::Jpeg},
      {"http://h/dir.png/logo", LogoFormat::Jpeg},   {"http://h:8080/logo", LogoFormat::Jpeg},
      {"http://h.png:8080", LogoFormat::Jpeg},       {"logo.png\\x", LogoFormat::Jpeg},
      {"http://h/logo.pngx", LogoFormat::Jpeg},      {"http://h/logo.png ", LogoFormat::Jpeg},
      {"logo", LogoFormat::Jpeg},                    {"", LogoFormat::Jpeg},
  };
  for (const Case& c : cases) EXPECT_EQ(LogoFormatOf(c.address), c.format) << c.address;
}

TEST(PictureDecoderTest, PngLayoutsDecodeExactly) {
  const Picture picture = test_pictures::Pattern(37, 23);
  for (PngLayout layout : {PngLayout::Rgba, PngLayout::Rgb, PngLayout::Gray, PngLayout::GrayAlpha})
    EXPECT_EQ(DecodePng(test_pictures::Png(picture, layout)), test_pictures::AsStored(picture, layout))
        << static_cast<int>(layout);
}

TEST(PictureDecoderTest, JpegDecodesCloseToTheOriginal) {
  const Picture picture = test_pictures::Pattern(40, 24);
  for (bool progressive : {false, true}) {
    Picture decoded = DecodeJpeg(test_pictures::Jpeg(picture, progressive));
    ASSERT_EQ(decoded.width, 40);
    ASSERT_EQ(decoded.height, 24);
    for (size_t i = 0; i < decoded.pixels.size(); ++i) {
      uint32_t got = decoded.pixels[i], want = picture.pixels[i];
      EXPECT_EQ(got >> 24, 0xFFu) << "opaque";
      for (int shift : {0, 8, 16}) EXPECT_NEAR(int(got >> shift & 0xFF), int(want >> shift & 0xFF), 12) << i;
    }
  }
}

TEST(PictureDecoderTest, RejectsDamagedAndOversizedFiles) {
  const Picture picture = test_pictures::Pattern(64, 64);
  const std::vector<uint8_t> png = test_pictures::Png(picture), jpeg = test_pictures::Jpeg(picture),
                             progressive = test_pictures::Jpeg(picture, true);
  auto cut = [](std::vector<uint8_t> file, size_t size) {
    file.resize(size);
    return file;
  };
  auto flipped = [](std::vector<uint8_t> file, size_t at) {
    file[at] ^= 0xFF;
    return file;
  };
  const std::vector<uint8_t> pngs[] = {
      {}, jpeg, cut(png, png.size() / 2), cut(png, png.size() - 12) /* no IEND */, flipped(png, 20) /* IHDR CRC */,
      test_pictures::PngHeaderOnly(4097, 1), test_pictures::PngHeaderOnly(2049, 2048), test_pictures::PngHeaderOnly(0, 5)};
  for (const auto& file : pngs) EXPECT_THROW(DecodePng(file), PictureError) << file.size();
  const std::vector<uint8_t> jpegs[] = {{}, png, cut(jpeg, jpeg.size() / 2), cut(jpeg, jpeg.size() - 2) /* no EOI */,
                                        cut(progressive, progressive.size() / 2),
                                        test_pictures::Jpeg(test_pictures::Pattern(4097, 2))};
  for (const auto& file : jpegs) EXPECT_THROW(DecodeJpeg(file), PictureError) << file.size();
}

class ServerLogoTest : public testing::Test {
 protected:
  std::vector<std::string> Load(const std::string& address) {
    std::vector<std::string> log;
    LoadServerLogo(view_, address, [&](const std::string& entry) { log.push_back(entry); });
    return log;
  }
  HttpTestServer server_;
  RecordingView view_;
};

TEST_F(ServerLogoTest, ShowsAPictureChosenByTheAddress) {
  const Picture picture = test_pictures::Pattern(281, 225);
  server_.Serve("/logo.PNG", Text(test_pictures::Png(picture)));
  server_.Serve("/logo.jpg", Text(test_pictures::Jpeg(picture)));
  EXPECT_TRUE(Load(server_.Url("/logo.PNG")).empty());
  EXPECT_EQ(view_.State().server_logo, picture);
  EXPECT_TRUE(Load(server_.Url("/logo.jpg")).empty());
  EXPECT_EQ(view_.State().server_logo.width, 281);
  EXPECT_EQ(view_.CallsStartingWith("SetServerLogo(").size(), 2u);
}

// Each failure is one log entry, and the design picture stays.
TEST_F(ServerLogoTest, FailuresAreLoggedAndKeepThePicture) {
  const std::string png = Text(test_pictures::Png(test_pictures::Pattern(20, 10)));
  server_.Serve("/logo.png?v=2", png);
  server_.Serve("/logo.gif", "GIF89a\x01\x00\x01\x00\x80\x00\x00");
  server_.Serve("/cut.png", png.substr(0, png.size() / 2));
  server_.Serve("/short.png", png.substr(0, 40));
  server_.SetFault("/short.png", {.extra_length = 4000 - 40});
  server_.Serve("/empty.png", "");
  const char* targets[] = {"/logo.png?v=2", "/logo.gif", "/missing.png", "/missing.jpg", "/cut.png", "/short.png", "/empty.png"};
  for (const char* target : targets) {
    std::vector<std::string> log = Load(server_.Url(target));
    ASSERT_EQ(log.size(), 1u) << target;
    EXPECT_TRUE(log[0].starts_with("Erro ao carregar a logo: ")) << log[0];
    EXPECT_GT(log[0].size(), std::string("Erro ao carregar a logo: ").size()) << "the decoder's message follows";
  }
  const std::string refused = RefusedUrl() + "logo.png";
  EXPECT_EQ(Load(refused), std::vector<std::string>{"Falha ao baixar logo em " + refused});
  EXPECT_TRUE(view_.Calls().empty());
}

}  // namespace
