#pragma once
// Small helpers of the updater's benchmark programs: a stopwatch, and running a peer program
// as a child process with its time and peak memory.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct ChildRun {
  double seconds = 0;
  // The child's largest resident set; or its parent's when that was larger as the child started:
  // a spawned child runs in its parent's memory until its program starts, and Linux counts that.
  double peak_mib = 0;
  int status = -1;
};

// Runs argv[0] (found on PATH) with stdout sent to stdout_path when one is given; waits for it.
inline ChildRun RunChild(const std::vector<std::string>& args, const std::string& stdout_path = "") {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!stdout_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + args[0]);
  ChildRun run;
  rusage usage{};
  wait4(pid, &run.status, 0, &usage);
  run.seconds = SecondsSince(start);
  run.peak_mib = usage.ru_maxrss / 1024.0;
  return run;
}

}  // namespace bench
