#include "update_site/builder/build_progress.h"

#include <algorithm>
#include <cstdio>

#include "common/size_format.h"

namespace {

std::string Duration(double seconds) {
  long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

std::string ProgressLine(size_t files_done, size_t files_total, uint64_t bytes_done, uint64_t bytes_total,
                         double seconds) {
  constexpr size_t kWidth = 24;
  const double share = bytes_total > 0 ? static_cast<double>(bytes_done) / static_cast<double>(bytes_total)
                                       : (files_total > 0 ? static_cast<double>(files_done) / files_total : 1.0);
  // A file that grew while it was read can take the bytes past the total.
  const size_t filled = static_cast<size_t>(std::clamp(share, 0.0, 1.0) * kWidth);
  std::string line = "[";
  line.append(filled, '#').append(kWidth - filled, '.').append("] ");
  line += std::to_string(files_done) + "/" + std::to_string(files_total) + " files  ";
  line += FormatSize(static_cast<int64_t>(bytes_done), '.') + " / " + FormatSize(static_cast<int64_t>(bytes_total), '.');
  if (seconds > 0 && bytes_done > 0) {
    const double rate = static_cast<double>(bytes_done) / seconds;
    line += "  " + FormatSpeed(rate, '.');
    if (bytes_done < bytes_total) line += "  " + Duration(static_cast<double>(bytes_total - bytes_done) / rate) + " left";
  }
  return line;
}

double BuildProgress::SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

BuildProgress::BuildProgress(std::ostream& out, bool terminal, size_t files_total, uint64_t bytes_total, Clock clock)
    : out_(out), terminal_(terminal), files_total_(files_total), bytes_total_(bytes_total), clock_(std::move(clock)),
      start_(clock_()) {}

void BuildProgress::Read(uint64_t bytes) {
  std::lock_guard lock(mutex_);
  bytes_done_ += bytes;
  Redraw(false);
}

void BuildProgress::FileDone(const std::string& path, std::string_view what) {
  std::lock_guard lock(mutex_);
  ++files_done_;
  if (terminal_) {
    Redraw(false);
  } else {
    out_ << "[" << files_done_ << "/" << files_total_ << "] " << what << " " << path << "\n";
  }
}

void BuildProgress::Finish() {
  std::lock_guard lock(mutex_);
  if (!terminal_) return;
  Redraw(true);
  if (drawn_) out_ << "\n" << std::flush;
}

// The line is padded so that a shorter line wipes out a longer one drawn before it.
void BuildProgress::Redraw(bool force) {
  if (!terminal_) return;
  const double now = clock_();
  if (!force && last_redraw_ >= 0 && now - last_redraw_ < 0.1) return;
  last_redraw_ = now;
  std::string line = ProgressLine(files_done_, files_total_, bytes_done_, bytes_total_, now - start_);
  if (line.size() < 100) line.resize(100, ' ');
  out_ << "\r" << line << std::flush;
  drawn_ = true;
}
