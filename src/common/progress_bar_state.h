#pragma once
#include <cstdint>

// The range and position of one progress bar as the launcher's bars behave: signed 32-bit
// values, minimum 0 and maximum 100 until changed, a position always held within the range.
// Both view implementations keep one, so the recording view and the real control agree.
class ProgressBarState {
 public:
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  int32_t Position() const { return position_; }

  // A position outside the range is held at the nearer end.
  void SetPosition(int32_t position);
  // A maximum below the minimum lowers the minimum to it; the position stays within the range.
  void SetMax(int32_t max);

  bool operator==(const ProgressBarState&) const = default;

 private:
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t position_ = 0;
};
