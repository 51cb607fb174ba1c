#include "support/recording_view.h"

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <thread>

TEST(RecordingView, StartsInTheDesignState) {
  RecordingView view;
  const ViewState& state = view.State();
  EXPECT_EQ(state.status_text, "Aguarde...");
  EXPECT_FALSE(state.detail_visible);
  EXPECT_EQ(state.file_bar, ProgressBarState{});
  EXPECT_TRUE(state.play_visible);
  EXPECT_EQ(state.window_caption, "Launcher Brennmoor");
  EXPECT_EQ(state.window_mode_caption, "");
  EXPECT_FALSE(state.window_mode_checked);
}

TEST(RecordingView, DetailTextChangesWhileHiddenAndShowsLater) {
  RecordingView view;
  view.SetDetailText("Update completed!");
  EXPECT_FALSE(view.State().detail_visible);
  view.SetDetailVisible(true);
  EXPECT_EQ(view.State().detail_text, "Update completed!");
  EXPECT_TRUE(view.State().detail_visible);
}

TEST(RecordingView, BarsFollowTheProgressBarRules) {
  RecordingView view;
  view.SetFileProgress(500);
  view.SetFileProgressMax(500);
  EXPECT_EQ(view.State().file_bar.Position(), 100);
  EXPECT_EQ(view.State().file_bar.Max(), 500);
  view.SetTotalProgress(-3);
  EXPECT_EQ(view.State().total_bar.Position(), 0);
  EXPECT_EQ(view.CallsStartingWith("SetFileProgress("), std::vector<std::string>{"SetFileProgress(500)"});
  EXPECT_EQ(view.CallsStartingWith("SetFileProgress"),
            (std::vector<std::string>{"SetFileProgress(500)", "SetFileProgressMax(500)"}));
}

TEST(RecordingView, PicturesAreCopied) {
  RecordingView view;
  Picture logo{2, 1, {0xFF0000FF, 0xFF00FF00}};
  view.SetServerLogo(logo);
  logo.pixels[0] = 0;
  EXPECT_EQ(view.State().server_logo.At(0, 0), 0xFF0000FFu);
}

TEST(RecordingView, FlagsACallOffTheWindowThread) {
  RecordingView view;
  EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(
      {
        std::thread worker([&view] { view.SetStatusText("from the worker"); });
        worker.join();
      },
      "ran off the window thread");
}
