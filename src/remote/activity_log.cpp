#include "remote/activity_log.h"

#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"

namespace {

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string FourDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", value);
  return text;
}

}  // namespace

std::string FormatLogTime(const platform::LocalTime& time, const platform::RegionalSettings& regional) {
  const std::string& date = regional.date_separator;
  const std::string& clock = regional.time_separator;
  return TwoDigits(time.day) + date + TwoDigits(time.month) + date + FourDigits(time.year) + " " +
         TwoDigits(time.hour) + clock + TwoDigits(time.minute) + clock + TwoDigits(time.second);
}

std::string FormatLogEntry(const platform::LocalTime& time, const platform::RegionalSettings& regional,
                           const std::string& message) {
  return FormatLogTime(time, regional) + " - " + message + "\r\n";
}

// Opened and closed within every call, so no handle outlives an entry; the File closes itself
// also when the write raises.
void WriteLogIn(const std::string& folder, const std::string& message) {
  std::string entry =
      platform::ToAnsi(FormatLogEntry(platform::CurrentLocalTime(), platform::UserRegionalSettings(), message));
  platform::File log = platform::File::OpenAppend(folder + "log.txt");
  log.Write(entry.data(), entry.size());
}

// The executable's folder, never the working directory: the launcher may be started from
// anywhere.
void WriteLog(const std::string& message) { WriteLogIn(platform::ExecutableFolder(), message); }
