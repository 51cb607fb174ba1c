#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

// The line a terminal shows while a build compresses: a bar, files, bytes, rate and time left.
std::string ProgressLine(size_t files_done, size_t files_total, uint64_t bytes_done, uint64_t bytes_total,
                         double seconds);

// Progress of the files a build reads. On a terminal one line is redrawn in place at most ten
// times a second; elsewhere (a log, a pipe) each finished file gets a plain line. Safe to call
// from the worker threads.
class BuildProgress {
 public:
  using Clock = std::function<double()>;  // seconds since some fixed point

  BuildProgress(std::ostream& out, bool terminal, size_t files_total, uint64_t bytes_total, Clock clock = SteadySeconds);
  // Bytes of a file read so far (for the rate within large files).
  void Read(uint64_t bytes);
  // A file is finished; `what` says what became of it ("compressed", "unchanged").
  void FileDone(const std::string& path, std::string_view what);
  // Ends the redrawn line.
  void Finish();

  static double SteadySeconds();

 private:
  void Redraw(bool force);

  std::ostream& out_;
  const bool terminal_;
  const size_t files_total_;
  const uint64_t bytes_total_;
  const Clock clock_;
  const double start_;
  std::mutex mutex_;
  size_t files_done_ = 0;
  uint64_t bytes_done_ = 0;
  double last_redraw_ = -1;
  bool drawn_ = false;
};
