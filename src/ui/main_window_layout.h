#pragma once
#include <span>

#include "ui/control_layout.h"

namespace main_window {

inline constexpr const wchar_t* kClassName = L"TForm_AutoUpdate";
inline constexpr const wchar_t* kApplicationClassName = L"TApplication";
inline constexpr const char* kDesignCaption = "Launcher Brennmoor";
inline constexpr int kClientWidth = 870;
inline constexpr int kClientHeight = 497;
// The colour that is see-through on the layered window: red 192, green 220, blue 192.
inline constexpr unsigned kTransparentKeyRgb = 0xC0DCC0;

enum ControlId : int {
  kBG = 100,
  kConfiguracao,
  kMinimizer,
  kCloseBtn,
  kImageSlider,
  kCheckBox1,
  kProgressBar1,
  kProgressBar2,
  kServerLogo,
  kJogar,
  kLbl0,
  kLbl1,
};

// In design order: pictures and labels are drawn in this order over one another; the check
// box and the bars are windows of their own above them.
inline constexpr ControlSpec kControls[] = {
    {kBG, "BG", ControlKind::Picture, -30, -9, 900, 506, true, CursorKind::Arrow, 0},
    {kConfiguracao, "Configuração", ControlKind::Area, 680, 24, 25, 33, true, CursorKind::Hand, 0},
    {kMinimizer, "Minimizer", ControlKind::Area, 720, 24, 33, 33, true, CursorKind::Hand, 0},
    {kCloseBtn, "CloseBtn", ControlKind::Area, 759, 24, 34, 33, true, CursorKind::Hand, 0},
    {kImageSlider, "Image_Slider", ControlKind::Picture, 204, 63, 309, 139, false, CursorKind::Arrow, 0},
    {kCheckBox1, "CheckBox1", ControlKind::CheckBox, 66, 409, 17, 17, true, CursorKind::Arrow, 0},
    {kProgressBar1, "ProgressBar1", ControlKind::ProgressBar, 64, 429, 449, 17, true, CursorKind::Arrow, 0},
    {kProgressBar2, "ProgressBar2", ControlKind::ProgressBar, 129, 319, 433, 17, false, CursorKind::Arrow, 0},
    {kServerLogo, "ServerLogo", ControlKind::Picture, 129, 88, 281, 225, true, CursorKind::Arrow, 0},
    {kJogar, "jogar", ControlKind::Area, 552, 384, 241, 87, true, CursorKind::Arrow, 0},
    {kLbl0, "lbl0", ControlKind::Label, 64, 452, 53, 13, true, CursorKind::Arrow, 0},
    {kLbl1, "lbl1", ControlKind::Label, 225, 395, 16, 13, false, CursorKind::Arrow, 0},
};

inline constexpr const ControlSpec& SpecOf(int id) {
  for (const ControlSpec& spec : kControls) {
    if (spec.id == id) return spec;
  }
  return kControls[0];
}

}  // namespace main_window
