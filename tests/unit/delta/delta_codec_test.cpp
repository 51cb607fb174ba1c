#include <gtest/gtest.h>

#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <random>

#include "delta/delta_codec.h"

namespace {

// Records as a game's data files hold them: much alike, each different.
std::string Records(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += "item " + std::to_string(i) + " level " + std::to_string(random() % 400) + " price " +
            std::to_string(random() % 100000) + " flags " + std::to_string(random()) + "\n";
  }
  return text;
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string Replaced(std::string text, size_t at, std::string_view with) {
  return text.replace(at, with.size(), with);
}

// Every 100th record changed in place.
std::string Edited(std::string text, uint32_t seed) {
  std::mt19937 random(seed);
  for (size_t at = 0; at + 40 < text.size(); at += 100 * 45) text.replace(at + 10, 4, std::to_string(random() % 9000 + 1000));
  return text;
}

std::string RoundTrip(std::string_view old_content, std::string_view new_content, int level) {
  const std::string delta = MakeDelta(old_content, new_content, level);
  EXPECT_EQ(DeltaResultSize(delta), new_content.size());
  return std::string(ApplyDelta(old_content, delta, new_content.size()).view());
}

// A delta made by hand: a frame with a window descriptor of 2^window_log and a content size,
// holding one raw block of 300 "x".
std::string HandMadeFrame(int window_log) {
  std::string frame = "\x28\xB5\x2F\xFD";
  frame += '\x40';                                                 // a 2-byte content size, no checksum
  frame += static_cast<char>((window_log - 10) << 3);              // the window's exponent
  frame += std::string("\x2C\x00", 2);                             // 300 - 256
  frame += std::string("\x61\x09\x00", 3);                         // the last block, raw, 300 bytes
  return frame + std::string(300, 'x');
}

}  // namespace

TEST(DeltaCodec, RoundTrips) {
  const std::string records = Records(2000, 1);
  struct Case {
    const char* what;
    std::string old_content, new_content;
  };
  const Case cases[] = {
      {"both empty", "", ""},
      {"empty old", "", records},
      {"empty new", records, ""},
      {"identical", records, records},
      {"small edit", records, Replaced(records, 5000, "EDITED")},
      {"insertion", records, records.substr(0, 40000) + RandomBytes(3000, 2) + records.substr(40000)},
      {"wholly different", RandomBytes(50000, 3), RandomBytes(60000, 4)},
  };
  for (const Case& c : cases) {
    for (int level : {1, 19}) {
      EXPECT_EQ(RoundTrip(c.old_content, c.new_content, level), c.new_content) << c.what << ", level " << level;
    }
  }
}

// The old content is megabytes away from where the new content uses it: long-distance matching
// and a window over both are what make the delta small.
TEST(DeltaCodec, MegabytesEditedAndShiftedGiveASmallDelta) {
  const std::string old_content = Records(60000, 5);  // about 3.6 MB
  const size_t middle = old_content.size() / 2;
  const std::string new_content =
      Edited(old_content.substr(0, middle), 6) + RandomBytes(100000, 7) + Edited(old_content.substr(middle), 8);
  const std::string delta = MakeDelta(old_content, new_content, 3);
  EXPECT_LT(delta.size(), 100000 + new_content.size() / 50);
  EXPECT_EQ(ApplyDelta(old_content, delta, new_content.size()).view(), new_content);
}

TEST(DeltaCodec, RefusesWhatIsNotExactlyOneFrameOfTheExpectedSize) {
  const std::string old_content = Records(300, 9);
  const std::string new_content = Replaced(old_content, 700, "CHANGED");
  const std::string delta = MakeDelta(old_content, new_content, 19);
  std::string skippable = std::string("\x50\x2A\x4D\x18\x04\x00\x00\x00", 8) + "skip";
  struct Case {
    const char* what;
    std::string delta;
    uint64_t expected_size;
  };
  const Case cases[] = {
      {"empty", "", new_content.size()},
      {"not zstd", "not a delta at all, just text", new_content.size()},
      {"trailing byte", delta + "x", new_content.size()},
      {"two frames", delta + delta, new_content.size()},
      {"a skippable frame after it", delta + skippable, new_content.size()},
      {"a skippable frame before it", skippable + delta, new_content.size()},
      {"one byte more expected", delta, new_content.size() + 1},
      {"one byte less expected", delta, new_content.size() - 1},
      {"more than a delta serves", delta, kLargestDeltaFile + 1},
      {"a window larger than any delta's", HandMadeFrame(31), 300},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(ApplyDelta(old_content, c.delta, c.expected_size), DeltaError) << c.what;
  }
  EXPECT_EQ(DeltaResultSize("not a delta at all, just text"), std::nullopt);
  EXPECT_EQ(DeltaResultSize(skippable), std::nullopt);
  EXPECT_EQ(DeltaResultSize(delta.substr(0, 5)), std::nullopt);
  // The same hand-made frame with a window a delta may have is applied.
  EXPECT_EQ(ApplyDelta("", HandMadeFrame(20), 300).view(), std::string(300, 'x'));
}

TEST(DeltaCodec, RefusesAFrameWithoutItsContentSize) {
  const std::string content = Records(100, 10);
  std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
  ASSERT_EQ(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_contentSizeFlag, 0), 0u);
  std::string frame(ZSTD_compressBound(content.size()), '\0');
  ZSTD_outBuffer out{frame.data(), frame.size(), 0};
  ZSTD_inBuffer in{content.data(), content.size(), 0};
  // Streamed with no size given, as a program writing to a pipe would.
  ASSERT_EQ(ZSTD_compressStream2(context.get(), &out, &in, ZSTD_e_continue), 0u);
  ASSERT_EQ(ZSTD_compressStream2(context.get(), &out, &in, ZSTD_e_end), 0u);
  frame.resize(out.pos);
  EXPECT_EQ(DeltaResultSize(frame), std::nullopt);
  EXPECT_THROW(ApplyDelta("", frame, content.size()), DeltaError);
}

// Whatever is damaged, the delta either fails or still gives exactly the new content: never
// other bytes reported as success.
TEST(DeltaCodec, ADamagedOrCutDeltaNeverGivesOtherContent) {
  const std::string old_content = Records(400, 11);
  const std::string new_content = Replaced(old_content, 3000, "CHANGED") + "appended";
  const std::string delta = MakeDelta(old_content, new_content, 19);
  for (size_t at = 0; at < delta.size(); ++at) {
    for (uint8_t flip : {0x01, 0x10, 0x80}) {
      std::string damaged = delta;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      try {
        EXPECT_EQ(ApplyDelta(old_content, damaged, new_content.size()).view(), new_content) << "byte " << at;
      } catch (const DeltaError&) {
      }
    }
  }
  for (size_t length = 0; length < delta.size(); ++length) {
    EXPECT_THROW(ApplyDelta(old_content, delta.substr(0, length), new_content.size()), DeltaError) << length;
  }
}

// The frame's checksum catches it, or the delta reaching outside the content it is given.
TEST(DeltaCodec, ADeltaAppliedToOtherContentFails) {
  const std::string old_content = Records(400, 12);
  const std::string new_content = Replaced(old_content, 3000, "CHANGED");
  const std::string delta = MakeDelta(old_content, new_content, 19);
  const std::string others[] = {"", old_content.substr(0, 1000), Replaced(old_content, 100, "OTHER"),
                                RandomBytes(old_content.size(), 13), old_content.substr(1) + "x"};
  for (const std::string& other : others) {
    EXPECT_THROW(ApplyDelta(other, delta, new_content.size()), DeltaError) << other.size() << " bytes";
  }
}

TEST(DeltaCodec, FileContentCopies) {
  EXPECT_EQ(FileContent::Copy("abc").view(), "abc");
  EXPECT_EQ(FileContent::Copy("").size(), 0u);
}
