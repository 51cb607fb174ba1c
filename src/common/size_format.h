#pragma once
#include <cstdint>
#include <string>

// Short texts for the download line. Quotients have one decimal, rounded half away from zero,
// written with the given decimal separator; the overloads without one take the user's.

// "1023 B", "1.5 KB", "1024.0 KB", "1.0 MB", "1.0 GB"; a negative count is written in bytes.
std::string FormatSize(int64_t Bytes, char decimal_separator);
std::string FormatSize(int64_t Bytes);
// "512.0 B/s", "1.0 KB/s", "3.0 MB/s"; MB/s is the largest unit.
std::string FormatSpeed(double BytesPerSecond, char decimal_separator);
std::string FormatSpeed(double BytesPerSecond);
