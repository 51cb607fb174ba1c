#include "updater_fixture.h"

#include <bzlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "crc32/crc32.h"
#include "platform/text.h"
#include "transfer/package_address.h"
#include "updater/updater_state.h"

std::string Bzip2(std::string_view data) {
  unsigned capacity = static_cast<unsigned>(data.size() + data.size() / 100 + 600);
  std::string out(capacity, '\0');
  int result = BZ2_bzBuffToBuffCompress(out.data(), &capacity, const_cast<char*>(data.data()),
                                        static_cast<unsigned>(data.size()), 9, 0, 0);
  if (result != BZ_OK) throw std::runtime_error("bzip2 compression failed");
  out.resize(capacity);
  return out;
}

std::string Noise(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string noise(size, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  return noise;
}

void UpdaterTest::SetUp() {
  previous_directory_ = std::filesystem::current_path();
  game_ = std::filesystem::temp_directory_path() /
          ("updater_test_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(game_);
  std::filesystem::create_directories(game_);
  std::filesystem::current_path(game_);
  previous_language_ = CurrentLanguage();
  SetCurrentLanguage(Language::Eng);
  StatusText.clear();
  SelfUpdated = false;
  WriteGameFile("Launcher.exe", "the running launcher");
  system.pause = [this](uint32_t ms) { pauses += ms == 10 ? 1 : 1000; };
  system.tick_count = [this] { return ticks; };
  system.run_command_line = [this](const std::string& line) {
    commands.push_back(line);
    return true;
  };
  system.exit_process = [this](unsigned code) { exits.push_back(code); };
  system.executable_path = [this] { return (game_ / "Launcher.exe").string(); };
}

void UpdaterTest::TearDown() {
  worker_.reset();
  std::filesystem::current_path(previous_directory_);
  std::filesystem::remove_all(game_);
  SetCurrentLanguage(previous_language_);
  SelfUpdated = false;
}

GFilesThread& UpdaterTest::Worker() {
  if (!worker_) {
    worker_ = std::make_unique<GFilesThread>(view, window, system);
    worker_->UpdatesUrl(server.BaseUrl());
    worker_->Dir = game_.string() + "\\";
    worker_->UUrl = server.BaseUrl();
  }
  return *worker_;
}

std::filesystem::path UpdaterTest::Game(std::string relative) const {
  std::replace(relative.begin(), relative.end(), '\\', '/');
  return game_ / relative;
}

void UpdaterTest::WriteGameFile(const std::string& relative, std::string_view content) const {
  std::filesystem::path path = Game(relative);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string UpdaterTest::ReadGameFile(const std::string& relative) const {
  std::ifstream in(Game(relative), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> UpdaterTest::GameFiles() const {
  std::vector<std::string> files;
  for (const auto& item : std::filesystem::recursive_directory_iterator(game_)) {
    if (item.is_regular_file()) files.push_back(std::filesystem::relative(item.path(), game_).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string UpdaterTest::ReadIfThere(const std::string& relative) const {
  std::ifstream in(Game(relative), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string UpdaterTest::Log() const { return platform::FromAnsi(ReadIfThere("log.txt")); }

std::string UpdaterTest::Publish(const std::string& path, std::string_view content) {
  std::string package = Bzip2(content);
  std::string line = path + "|" + Crc32Text(Crc32(0, content.data(), content.size())) + "|" + std::to_string(package.size());
  server.Serve(PackagePath(path), std::move(package));
  return line;
}

std::string UpdaterTest::ListOf(const std::vector<std::string>& lines) {
  std::string text = "[Download]\r\n";
  for (const auto& line : lines) text += line + "\r\n";
  return text + "[/Download]\r\n";
}

std::string UpdaterTest::PackagePath(std::string path) { return "/" + EncodeAddressPath(path) + ".rar"; }
