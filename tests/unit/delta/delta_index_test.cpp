#include <gtest/gtest.h>

#include <stdexcept>

#include "delta/delta_index.h"

namespace {

constexpr std::string_view kHeader = "launcher-deltas 1\n";

DeltaEntry Entry(std::string path, uint32_t from_crc, uint32_t to_crc, uint32_t size) {
  DeltaEntry entry{path, from_crc, to_crc, size, 1000, ""};
  entry.location = DeltaLocation(path, from_crc, to_crc);
  return entry;
}

// The sizes of a chain's deltas in the order they apply, with their CRCs: "a>b:size".
std::string Steps(const std::optional<std::vector<DeltaEntry>>& chain) {
  if (!chain) return "none";
  std::string text;
  for (const DeltaEntry& entry : *chain) {
    text += (text.empty() ? "" : " ") + std::to_string(entry.from_crc) + ">" + std::to_string(entry.to_crc) + ":" +
            std::to_string(entry.size);
  }
  return text;
}

}  // namespace

TEST(DeltaIndex, LocationNamesTheFileAndBothCrcs) {
  EXPECT_EQ(DeltaLocation("Data\\Player\\Item 1.bmd", 0x0a1b2c3d, 0xffffffff),
            "deltas/Data/Player/Item 1.bmd.0a1b2c3d-ffffffff.zst");
  EXPECT_EQ(DeltaLocation("main.exe", 0, 1), "deltas/main.exe.00000000-00000001.zst");
}

TEST(DeltaIndex, WrittenInOneOrderAndReadBack) {
  const std::vector<DeltaEntry> entries = {
      Entry("main.exe", 2, 3, 500),
      {"Data\\Ma\xC3\xA7\xC3\xA3 b.bmd", 0xdeadbeef, 0x01234567, 0, 0, "deltas/x y/\xC3\xA7.zst"},
      Entry("main.exe", 1, 3, 2147483647),
  };
  const std::string text = WriteDeltaIndex(entries);
  EXPECT_EQ(text, std::string(kHeader) +
                      "delta\tData\\Ma\xC3\xA7\xC3\xA3 b.bmd\tdeadbeef\t01234567\t0\t0\tdeltas/x y/\xC3\xA7.zst\n"
                      "delta\tmain.exe\t00000001\t00000003\t2147483647\t1000\tdeltas/main.exe.00000001-00000003.zst\n"
                      "delta\tmain.exe\t00000002\t00000003\t500\t1000\tdeltas/main.exe.00000002-00000003.zst\n");
  const std::optional<std::vector<DeltaEntry>> read = ReadDeltaIndex(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, (std::vector<DeltaEntry>{entries[1], entries[2], entries[0]}));
  EXPECT_EQ(WriteDeltaIndex({entries[2], entries[0], entries[1]}), text);
  EXPECT_EQ(ReadDeltaIndex(kHeader), std::vector<DeltaEntry>{});
  EXPECT_EQ(WriteDeltaIndex({}), kHeader);
}

TEST(DeltaIndex, ReaderAcceptsAnyOrderOfLines) {
  const std::string text = std::string(kHeader) + "delta\tb\t00000001\t00000002\t5\t6\tdeltas/b\n" +
                           "delta\ta\t00000001\t00000002\t5\t6\tdeltas/a\n";
  const std::optional<std::vector<DeltaEntry>> read = ReadDeltaIndex(text);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->size(), 2u);
  EXPECT_EQ((*read)[0].path, "b");
}

TEST(DeltaIndex, ReaderRefusesEveryMalformedIndex) {
  const std::string good = "delta\tData\\a.bmd\t0000abcd\t0000abce\t120\t4096\tdeltas/Data/a.bmd.zst\n";
  ASSERT_TRUE(ReadDeltaIndex(std::string(kHeader) + good));
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"no header", good},
      {"header without its line break", "launcher-deltas 1"},
      {"another version", "launcher-deltas 2\n"},
      {"header with a tab", "launcher-deltas\t1\n"},
      {"CR LF", "launcher-deltas 1\r\n"},
      {"last line without its line break", std::string(kHeader) + good.substr(0, good.size() - 1)},
      {"blank line", std::string(kHeader) + "\n" + good},
      {"unknown line", std::string(kHeader) + "note\tsomething\n"},
      {"spaces for tabs", std::string(kHeader) + "delta Data\\a.bmd 0000abcd 0000abce 120 4096 deltas/a\n"},
      {"six fields", std::string(kHeader) + "delta\tData\\a.bmd\t0000abcd\t0000abce\t120\tdeltas/a\n"},
      {"eight fields", std::string(kHeader) + "delta\tData\\a.bmd\t0000abcd\t0000abce\t120\t4096\tdeltas/a\tx\n"},
      {"two tabs", std::string(kHeader) + "delta\t\tData\\a.bmd\t0000abcd\t0000abce\t120\t4096\tdeltas/a\n"},
      {"uppercase CRC", std::string(kHeader) + "delta\ta\t0000ABCD\t0000abce\t1\t1\tdeltas/a\n"},
      {"short CRC", std::string(kHeader) + "delta\ta\t000abcd\t0000abce\t1\t1\tdeltas/a\n"},
      {"long CRC", std::string(kHeader) + "delta\ta\t0000abcd\t00000abce\t1\t1\tdeltas/a\n"},
      {"CRC not hexadecimal", std::string(kHeader) + "delta\ta\t0000abcg\t0000abce\t1\t1\tdeltas/a\n"},
      {"CRC with a sign", std::string(kHeader) + "delta\ta\t+000abcd\t0000abce\t1\t1\tdeltas/a\n"},
      {"size with a leading zero", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t01\t1\tdeltas/a\n"},
      {"size with a sign", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t+1\t1\tdeltas/a\n"},
      {"negative size", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t-1\t1\tdeltas/a\n"},
      {"empty size", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t\t1\tdeltas/a\n"},
      {"size above 2147483647", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t2147483648\t1\tdeltas/a\n"},
      {"result size above 2147483647", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t4294967296\tdeltas/a\n"},
      {"empty path", std::string(kHeader) + "delta\t\t0000abcd\t0000abce\t1\t1\tdeltas/a\n"},
      {"control character in the path", std::string(kHeader) + "delta\ta\x01\t0000abcd\t0000abce\t1\t1\tdeltas/a\n"},
      {"empty location", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\t\n"},
      {"control character in the location", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas/a\x7F\n"},
      {"absolute location", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\t/deltas/a\n"},
      {"another host", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\t//host/a\n"},
      {"a scheme", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\thttp://host/a\n"},
      {"a drive", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tC:a\n"},
      {"a way up", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas/../../a\n"},
      {"only a way up", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\t..\n"},
      {"a dot folder", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas/./a\n"},
      {"an empty folder name", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas//a\n"},
      {"a folder for a file", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas/a/\n"},
      {"backslashes", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas\\a\n"},
      {"a location twice", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas/a\n" +
                               "delta\tb\t0000abcd\t0000abce\t1\t1\tdeltas/a\n"},
      {"a path and CRCs twice", std::string(kHeader) + "delta\ta\t0000abcd\t0000abce\t1\t1\tdeltas/a\n" +
                                    "delta\ta\t0000abcd\t0000abce\t2\t1\tdeltas/b\n"},
      {"a second header", std::string(kHeader) + good + std::string(kHeader)},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadDeltaIndex(c.text), std::nullopt) << c.what;
}

TEST(DeltaIndex, WriterRefusesWhatTheFormatCannotHold) {
  const DeltaEntry good = Entry("a", 1, 2, 10);
  auto changed = [&](auto change) {
    DeltaEntry entry = good;
    change(entry);
    return entry;
  };
  struct Case {
    const char* what;
    std::vector<DeltaEntry> entries;
  };
  const Case cases[] = {
      {"empty path", {changed([](DeltaEntry& e) { e.path = ""; })}},
      {"tab in the path", {changed([](DeltaEntry& e) { e.path = "a\tb"; })}},
      {"line break in the location", {changed([](DeltaEntry& e) { e.location = "deltas/a\nb"; })}},
      {"empty location", {changed([](DeltaEntry& e) { e.location = ""; })}},
      {"location leaving the folder", {changed([](DeltaEntry& e) { e.location = "../a"; })}},
      {"size above 2147483647", {changed([](DeltaEntry& e) { e.size = 2147483648u; })}},
      {"result size above 2147483647", {changed([](DeltaEntry& e) { e.result_size = 4294967295u; })}},
      {"a location twice", {good, changed([](DeltaEntry& e) { e.path = "b"; })}},
      {"a path and CRCs twice", {good, changed([](DeltaEntry& e) { e.location = "deltas/other"; })}},
  };
  for (const Case& c : cases) EXPECT_THROW(WriteDeltaIndex(c.entries), std::invalid_argument) << c.what;
}

TEST(DeltaIndex, ChainIsTheCheapestBelowTheBound) {
  const std::vector<DeltaEntry> index = {
      Entry("a", 1, 2, 100),  Entry("a", 2, 3, 100), Entry("a", 1, 3, 1000), Entry("a", 3, 4, 50),
      Entry("a", 2, 1, 10),   Entry("a", 3, 2, 10),  Entry("b", 1, 4, 1),   Entry("a", 5, 6, 7),
      Entry("a", 6, 5, 7),
  };
  struct Case {
    const char* what;
    std::string_view path;
    uint32_t from, to;
    uint64_t smaller_than;
    std::string steps;
  };
  const Case cases[] = {
      {"direct", "a", 2, 3, 1000, "2>3:100"},
      {"two steps", "a", 2, 4, 1000, "2>3:100 3>4:50"},
      {"cheaper in two steps than direct", "a", 1, 3, 5000, "1>2:100 2>3:100"},
      {"three steps", "a", 1, 4, 5000, "1>2:100 2>3:100 3>4:50"},
      {"just below the bound", "a", 1, 4, 251, "1>2:100 2>3:100 3>4:50"},
      {"none below the bound", "a", 1, 4, 250, "none"},
      {"backwards through a cycle", "a", 3, 1, 5000, "3>2:10 2>1:10"},
      {"nowhere to go", "a", 4, 1, 5000, "none"},
      {"a cycle that does not lead there", "a", 5, 1, 5000, "none"},
      {"another file's deltas ignored", "a", 1, 4, 5000, "1>2:100 2>3:100 3>4:50"},
      {"another file's own", "b", 1, 4, 5000, "1>4:1"},
      {"unknown file", "c", 1, 2, 5000, "none"},
      {"already there", "a", 1, 1, 5000, "none"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Steps(FindDeltaChain(index, c.path, c.from, c.to, c.smaller_than)), c.steps) << c.what;
  }
}

TEST(DeltaIndex, ChainOfEqualCostTakesFewerDeltas) {
  const std::vector<DeltaEntry> index = {Entry("a", 1, 2, 0), Entry("a", 2, 3, 100), Entry("a", 1, 3, 100),
                                         Entry("a", 3, 1, 0)};
  EXPECT_EQ(Steps(FindDeltaChain(index, "a", 1, 3, 101)), "1>3:100");
  EXPECT_EQ(Steps(FindDeltaChain(index, "a", 3, 2, 101)), "3>1:0 1>2:0");
}

// Every version of a file with deltas to the next three and back to the one before: the search
// reaches each version once, however many ways lead there; three versions ahead is the cheapest.
TEST(DeltaIndex, ChainThroughManyVersions) {
  constexpr uint32_t kVersions = 3001;
  std::vector<DeltaEntry> index;
  for (uint32_t version = 0; version < kVersions; ++version) {
    for (uint32_t ahead = 1; ahead <= 3 && version + ahead < kVersions; ++ahead) {
      index.push_back(Entry("a", version, version + ahead, ahead == 1 ? 1 : ahead == 2 ? 3 : 2));
    }
    if (version > 0) index.push_back(Entry("a", version, version - 1, 1));
  }
  const std::optional<std::vector<DeltaEntry>> chain = FindDeltaChain(index, "a", 0, kVersions - 1, 1u << 20);
  ASSERT_TRUE(chain);
  uint64_t bytes = 0;
  for (const DeltaEntry& entry : *chain) bytes += entry.size;
  EXPECT_EQ(bytes, 2 * (kVersions - 1) / 3);
  EXPECT_EQ(chain->size(), (kVersions - 1) / 3);
  EXPECT_EQ(FindDeltaChain(index, "a", 0, kVersions - 1, bytes), std::nullopt);
}
