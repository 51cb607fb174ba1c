#include "support/recording_view.h"

#include <gtest/gtest.h>

namespace {
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
std::string Flag(bool flag) { return flag ? "true" : "false"; }
std::string Size(const Picture& picture) {
  return std::to_string(picture.width) + "x" + std::to_string(picture.height);
}
}  // namespace

RecordingView::RecordingView() : window_thread_(std::this_thread::get_id()) {}

std::vector<std::string> RecordingView::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& call : calls_) {
    if (call.starts_with(prefix)) found.push_back(call);
  }
  return found;
}

void RecordingView::Record(std::string call) {
  EXPECT_EQ(std::this_thread::get_id(), window_thread_) << call << " ran off the window thread";
  calls_.push_back(std::move(call));
}

void RecordingView::SetStatusText(const std::string& text) {
  Record("SetStatusText(" + Quoted(text) + ")");
  state_.status_text = text;
}
void RecordingView::SetDetailText(const std::string& text) {
  Record("SetDetailText(" + Quoted(text) + ")");
  state_.detail_text = text;
}
void RecordingView::SetDetailVisible(bool visible) {
  Record("SetDetailVisible(" + Flag(visible) + ")");
  state_.detail_visible = visible;
}
void RecordingView::SetFileProgress(int32_t position) {
  Record("SetFileProgress(" + std::to_string(position) + ")");
  state_.file_bar.SetPosition(position);
}
void RecordingView::SetFileProgressMax(int32_t max) {
  Record("SetFileProgressMax(" + std::to_string(max) + ")");
  state_.file_bar.SetMax(max);
}
void RecordingView::SetTotalProgress(int32_t position) {
  Record("SetTotalProgress(" + std::to_string(position) + ")");
  state_.total_bar.SetPosition(position);
}
void RecordingView::SetTotalProgressMax(int32_t max) {
  Record("SetTotalProgressMax(" + std::to_string(max) + ")");
  state_.total_bar.SetMax(max);
}
void RecordingView::SetPlayVisible(bool visible) {
  Record("SetPlayVisible(" + Flag(visible) + ")");
  state_.play_visible = visible;
}
void RecordingView::SetServerLogo(const Picture& picture) {
  Record("SetServerLogo(" + Size(picture) + ")");
  state_.server_logo = picture;
}
void RecordingView::SetSlideImage(const Picture& picture) {
  Record("SetSlideImage(" + Size(picture) + ")");
  state_.slide_image = picture;
}
void RecordingView::SetWindowCaption(const std::string& caption) {
  Record("SetWindowCaption(" + Quoted(caption) + ")");
  state_.window_caption = caption;
}
void RecordingView::SetApplicationTitle(const std::string& title) {
  Record("SetApplicationTitle(" + Quoted(title) + ")");
  state_.application_title = title;
}
void RecordingView::SetWindowModeCaption(const std::string& caption) {
  Record("SetWindowModeCaption(" + Quoted(caption) + ")");
  state_.window_mode_caption = caption;
}
void RecordingView::SetWindowModeChecked(bool checked) {
  Record("SetWindowModeChecked(" + Flag(checked) + ")");
  state_.window_mode_checked = checked;
}
