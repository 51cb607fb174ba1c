#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/language.h"
#include "support/http_test_server.h"
#include "support/recording_view.h"
#include "support/test_window_thread.h"
#include "updater/files_thread.h"

// The package form of data: one bzip2 stream.
std::string Bzip2(std::string_view data);
// Content that bzip2 cannot shrink, so a package is about as large as its file.
std::string Noise(size_t size, uint32_t seed);

// A game folder in a fresh temporary directory that is the working directory during the test,
// a recording view, the test's window thread, a loopback server and a worker whose system
// calls are recorded instead of made. The current language is English.
class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  GFilesThread& Worker();
  // Runs the routine on a worker thread while this thread serves its hand-overs.
  void OnWorker(const std::function<void()>& routine) { window.RunWorker(routine); }

  // A path in the game folder; "\" separates directories as in the list.
  std::filesystem::path Game(std::string relative) const;
  void WriteGameFile(const std::string& relative, std::string_view content) const;
  std::string ReadGameFile(const std::string& relative) const;
  // The file's content, empty when it is missing.
  std::string ReadIfThere(const std::string& relative) const;
  // The activity log, converted from the ANSI code page it is written in.
  std::string Log() const;
  // Every file below the game folder, relative, with "/" between directories, sorted.
  std::vector<std::string> GameFiles() const;

  // Serves content's package under the entry's path and returns the entry line.
  std::string Publish(const std::string& path, std::string_view content);
  // A list file whose "Download" section holds the lines.
  static std::string ListOf(const std::vector<std::string>& lines);
  // The server's path for a list path: "/" + the encoded path + ".rar".
  static std::string PackagePath(std::string path);

  RecordingView view;
  TestWindowThread window;
  HttpTestServer server;
  UpdaterSystem system;
  std::vector<std::string> commands;  // command lines started
  std::vector<unsigned> exits;        // exit codes asked for
  int pauses = 0;
  uint32_t ticks = 1000;

 private:
  std::filesystem::path game_;
  std::filesystem::path previous_directory_;
  Language previous_language_ = Language::None;
  std::unique_ptr<GFilesThread> worker_;
};
