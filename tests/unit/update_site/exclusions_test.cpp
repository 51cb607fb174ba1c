#include <gtest/gtest.h>

#include "update_site/exclusions.h"

TEST(Exclusions, DefaultsLeaveOutTheLaunchersOwnFilesAndLeftovers) {
  struct Case {
    const char* path;
    bool folder;
    bool excluded;
  };
  const Case cases[] = {
      {"VALKO", true, true},           {"valko/Launcher/Config.vlk", false, true},
      {"Data/VALKO", true, false},     {"VALKO", false, false},
      {"log.txt", false, true},        {"Data/log.txt", false, false},
      {"mu.update", false, true},      {"MU.UPDATE", false, true},
      {"mu.update.sig", false, true},  {"Data/mu.update.sig", false, false}, {"mu.update.version", false, true},
      {"mu.update.deltas", false, true}, {"Data/mu.update.deltas", false, false},
      {"LastConfig.json", false, true}, {"Data/LastConfig.json", false, false},
      {"update.update", false, true},  {"MuError.log", false, true},
      {"Launcher.exe.old", false, true}, {"Data/x.TMP", false, true},
      {"Data/Item.bmd.new", false, true}, {"Data/Item.bmd.rar", false, true},
      {"Data/~lock.txt", false, true}, {"main.exe", false, false},
      {"Data/Local/Item.bmd", false, false}, {"Data/old", false, false},
  };
  Exclusions defaults(Exclusions::Defaults());
  for (const Case& c : cases) EXPECT_EQ(defaults.Excludes(c.path, c.folder), c.excluded) << c.path;
}

TEST(Exclusions, PatternsMatchNamesFoldersAndPathsFromTheTop) {
  struct Case {
    const char* pattern;
    const char* path;
    bool folder;
    bool excluded;
  };
  const Case cases[] = {
      {"*.bak", "a/b/c.bak", false, true},   {"*.bak", "a.bak/c.txt", false, true},
      {"cache/", "Data/cache", true, true},  {"cache/", "Data/cache/x", false, true},
      {"cache/", "Data/cache", false, false}, {"/Data/Music/", "Data/Music/a.mp3", false, true},
      {"Data/Music", "Data/Music", true, true}, {"Data/Music", "Other/Data/Music", true, false},
      {"/readme.txt", "readme.txt", false, true}, {"/readme.txt", "Data/readme.txt", false, false},
      {"?.txt", "a.txt", false, true},        {"?.txt", "ab.txt", false, false},
      {"a*b*c", "aXXbYYc", false, true},      {"a*b*c", "aXXcYYb", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Exclusions({c.pattern}).Excludes(c.path, c.folder), c.excluded) << c.pattern << " " << c.path;
  }
}
