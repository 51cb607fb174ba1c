#include "common/progress_bar_state.h"

#include <algorithm>

void ProgressBarState::SetPosition(int32_t position) {
  position_ = std::clamp(position, min_, max_);
}

void ProgressBarState::SetMax(int32_t max) {
  max_ = max;
  min_ = std::min(min_, max_);
  position_ = std::clamp(position_, min_, max_);
}
