#include "common/progress_bar_state.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// One step on a bar: "pos" sets the position, "max" the maximum.
struct Step {
  std::string operation;
  int32_t value;
};

struct BarCase {
  const char* name;
  std::vector<Step> steps;
  int32_t min, max, position;
};

void PrintTo(const BarCase& c, std::ostream* out) { *out << c.name; }

class ProgressBarStateTest : public testing::TestWithParam<BarCase> {};

TEST_P(ProgressBarStateTest, EndsInExpectedState) {
  ProgressBarState bar;
  for (const Step& step : GetParam().steps) {
    if (step.operation == "pos") bar.SetPosition(step.value);
    else bar.SetMax(step.value);
  }
  EXPECT_EQ(bar.Min(), GetParam().min);
  EXPECT_EQ(bar.Max(), GetParam().max);
  EXPECT_EQ(bar.Position(), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressBarStateTest,
    testing::Values(
        BarCase{"design state", {}, 0, 100, 0},
        BarCase{"position within range", {{"pos", 42}}, 0, 100, 42},
        BarCase{"above the maximum shows full", {{"pos", 250}}, 0, 100, 100},
        BarCase{"negative shows empty", {{"pos", -5}}, 0, 100, 0},
        // The position is held at the old maximum when it is set before the maximum.
        BarCase{"500 then maximum 500", {{"pos", 500}, {"max", 500}}, 0, 500, 100},
        BarCase{"maximum then 500", {{"max", 500}, {"pos", 500}}, 0, 500, 500},
        BarCase{"lower maximum pulls the position", {{"pos", 80}, {"max", 50}}, 0, 50, 50},
        BarCase{"maximum below minimum lowers the minimum", {{"max", -1}}, -1, -1, -1},
        BarCase{"maximum back up keeps the lowered minimum", {{"max", -1}, {"max", 10}, {"pos", -7}}, -1, 10, -1},
        BarCase{"32-bit extremes", {{"max", INT32_MAX}, {"pos", INT32_MAX}}, 0, INT32_MAX, INT32_MAX},
        BarCase{"largest negative", {{"max", INT32_MIN}}, INT32_MIN, INT32_MIN, INT32_MIN}),
    [](const testing::TestParamInfo<BarCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
