#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/test_hooks.h"

#include "platform/system.h"

namespace platform {

namespace {
std::mutex debug_mutex;
std::vector<std::string> debug_lines;
std::vector<std::string> message_boxes;
std::vector<std::string> command_lines;
}  // namespace

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint32_t TickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

void HoldNamedMutex(const std::string&) {}  // one process per test: nothing to share

bool RunCommandLine(const std::string& command_line) {
  // The stand-in records the line for the tests instead of starting a Windows program.
  std::lock_guard lock(debug_mutex);
  command_lines.push_back(command_line);
  return true;
}

void ExitProcessNow(unsigned exit_code) { std::_Exit(static_cast<int>(exit_code)); }


void ShowErrorMessage(const std::string& text, const std::string& title) {
  std::lock_guard lock(debug_mutex);
  message_boxes.push_back(title + ": " + text);
}

namespace posix_system {
std::vector<std::string> TakeMessageBoxes() {
  std::lock_guard lock(debug_mutex);
  return std::exchange(message_boxes, {});
}
std::vector<std::string> TakeCommandLines() {
  std::lock_guard lock(debug_mutex);
  return std::exchange(command_lines, {});
}
}  // namespace posix_system

void DebugOutput(const std::string& line) {
  std::lock_guard lock(debug_mutex);
  debug_lines.push_back(line);
}

namespace posix_debug {
std::vector<std::string> TakeLines() {
  std::lock_guard lock(debug_mutex);
  return std::exchange(debug_lines, {});
}
}  // namespace posix_debug

RegionalSettings UserRegionalSettings() { return RegionalSettings{}; }

int64_t UnixTime() { return static_cast<int64_t>(time(nullptr)); }

LocalTime CurrentLocalTime() {
  time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace platform
