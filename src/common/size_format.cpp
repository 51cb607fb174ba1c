#include "common/size_format.h"

#include <cmath>
#include <cstdio>

#include "platform/system.h"

namespace {

constexpr double kKilo = 1024.0, kMega = 1048576.0, kGiga = 1073741824.0;

// printf rounds exact halves to even (1.25 gives "1.2"); the launcher's texts round them up.
std::string OneDecimal(double value, char separator, const char* unit) {
  char text[64];
  double tenths = std::round(value * 10.0);
  std::snprintf(text, sizeof text, "%.1f %s", std::isfinite(tenths) ? tenths / 10.0 : value, unit);
  std::string result = text;
  if (size_t point = result.find('.'); point != std::string::npos) result[point] = separator;
  return result;
}

}  // namespace

std::string FormatSize(int64_t Bytes, char decimal_separator) {
  if (Bytes < 1024) return std::to_string(Bytes) + " B";
  auto value = static_cast<double>(Bytes);
  if (Bytes < 1048576) return OneDecimal(value / kKilo, decimal_separator, "KB");
  if (Bytes < 1073741824) return OneDecimal(value / kMega, decimal_separator, "MB");
  return OneDecimal(value / kGiga, decimal_separator, "GB");
}

std::string FormatSpeed(double BytesPerSecond, char decimal_separator) {
  if (BytesPerSecond < kKilo) return OneDecimal(BytesPerSecond, decimal_separator, "B/s");
  if (BytesPerSecond < kMega) return OneDecimal(BytesPerSecond / kKilo, decimal_separator, "KB/s");
  return OneDecimal(BytesPerSecond / kMega, decimal_separator, "MB/s");
}

std::string FormatSize(int64_t Bytes) { return FormatSize(Bytes, platform::UserRegionalSettings().decimal_separator); }

std::string FormatSpeed(double BytesPerSecond) {
  return FormatSpeed(BytesPerSecond, platform::UserRegionalSettings().decimal_separator);
}
