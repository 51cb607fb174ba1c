#include "site_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "bzip2/bz_stream.h"
#include "update_site/commands.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  path_ = fs::temp_directory_path() / ("update-site-test-" + std::to_string(random()) + std::to_string(random()));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path TempDir::operator/(const std::string& relative) const { return path_ / fs::path(relative); }

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string SampleBytes(size_t size, unsigned seed, bool text) {
  std::mt19937 random(seed);
  static const char* kWords[] = {"sword ", "shield ", "potion ", "dragon ", "castle ", "\r\n", "gold ", "42 "};
  std::string bytes;
  while (bytes.size() < size) {
    if (text) {
      bytes += kWords[random() % 8];
    } else {
      bytes += static_cast<char>(random());
    }
  }
  bytes.resize(size);
  return bytes;
}

void SetAge(const fs::path& path, int seconds) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

const std::map<std::string, std::string>& SmallGameFiles() {
  static const std::map<std::string, std::string> files = {
      {"main.exe", SampleBytes(100000, 1, false)},
      {"LAUNCHER.EXE", SampleBytes(30000, 2, false)},
      {"Data/Local/Item.bmd", SampleBytes(300000, 3, true)},
      {"Data/Local/Sp\xC3\xA9" "cial.txt", "a name in the list's code page"},
      {"Data/Music/theme.mp3", SampleBytes(50000, 4, false)},
      {"Data/empty.txt", ""},
      {"Data/Launcher.exe", "not the launcher: only the top folder's is"},
  };
  return files;
}

const std::vector<std::string>& SmallGameExcludedFiles() {
  static const std::vector<std::string> files = {"VALKO/Launcher/Config.vlk", "log.txt", "mu.update", "main.exe.old",
                                                 "Data/download.tmp", "Data/Item.bmd.rar", "~lock.txt"};
  return files;
}

void MakeSmallGame(const fs::path& game) {
  for (const auto& [path, content] : SmallGameFiles()) {
    WriteFile(game / fs::path(path), content);
    SetAge(game / fs::path(path), 3600);
  }
  for (const std::string& path : SmallGameExcludedFiles()) WriteFile(game / path, "left out");
}

std::map<std::string, std::string> FolderContent(const fs::path& folder) {
  std::map<std::string, std::string> content;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) content[entry.path().lexically_relative(folder).generic_string()] = ReadFile(entry.path());
  }
  return content;
}

int RunTool(const std::vector<std::string>& args, std::string* out, std::string* err) {
  std::ostringstream out_stream, err_stream;
  int code = UpdateSiteMain(args, Output{out_stream, err_stream, false});
  if (out) *out = out_stream.str();
  if (err) *err = err_stream.str();
  return code;
}

std::string Unpack(const std::string& package) {
  TBytesStream source(package);
  TBZDecompressionStream unpacked(source);
  std::string content;
  char block[65536];
  while (size_t got = unpacked.Read(block, sizeof block)) content.append(block, got);
  return content;
}
