#include <spawn.h>
#include <sys/wait.h>
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

extern char** environ;

namespace platform {

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint32_t TickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

void HoldNamedMutex(const std::string&) {}  // one process per test: nothing to share

bool RunCommandLine(const std::string& command_line) {
  // The stand-in runs the line through the shell without waiting for it.
  pid_t pid;
  const char* argv[] = {"/bin/sh", "-c", command_line.c_str(), nullptr};
  return posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
}

void ExitProcessNow(unsigned exit_code) { std::_Exit(static_cast<int>(exit_code)); }

namespace {
std::mutex debug_mutex;
std::vector<std::string> debug_lines;
}  // namespace

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

LocalTime CurrentLocalTime() {
  time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace platform
