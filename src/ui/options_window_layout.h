#pragma once
#include "ui/control_layout.h"

namespace options_window {

inline constexpr const wchar_t* kClassName = L"TForm_Opcoes";
inline constexpr const char* kCaption = "SETTINGS";
inline constexpr int kClientWidth = 256;
inline constexpr int kClientHeight = 470;

enum ControlId : int {
  kBG = 200,
  kBitBtn1,
  kResolucoes,
  kSOM,
  kANTLAG,
  kEdit1,
  kLanguageSelect,
  kRadioButton3,
  kRadioButton4,
  kRadioButton5,
  kRadioButton6,
  kRadioButton7,
  kRadioButton8,
  kRadioButton9,
  kRadioButton10,
  kRadioButton11,
  kCheckBox1,
  kCheckBox2,
  kRadioButton1,
  kRadioButton2,
  kImage1,
  kImage2,
  kImage3,
};

// Places are relative to the parent in the design (parent_id); the window makes every
// control a child of its own client area at the place that adds up to.
inline constexpr ControlSpec kControls[] = {
    {kBG, "BG", ControlKind::GroupBox, 0, 0, 256, 521, true, CursorKind::Arrow, 0},
    {kBitBtn1, "BitBtn1", ControlKind::Button, 21, 436, 204, 26, true, CursorKind::Hand, 0},
    {kResolucoes, "Resoluções", ControlKind::GroupBox, 12, 64, 233, 147, true, CursorKind::Arrow, kBG},
    {kSOM, "SOM", ControlKind::GroupBox, 12, 217, 233, 56, true, CursorKind::Arrow, kBG},
    {kANTLAG, "ANTLAG", ControlKind::GroupBox, 12, 279, 233, 68, true, CursorKind::Arrow, kBG},
    {kEdit1, "Edit1", ControlKind::Edit, 12, 20, 233, 21, true, CursorKind::Arrow, kBG},
    {kLanguageSelect, "Language_Select", ControlKind::GroupBox, 12, 353, 233, 68, true, CursorKind::Arrow, kBG},
    {kRadioButton3, "RadioButton3", ControlKind::RadioButton, 9, 27, 113, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton4, "RadioButton4", ControlKind::RadioButton, 128, 27, 105, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton10, "RadioButton10", ControlKind::RadioButton, 9, 50, 121, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton6, "RadioButton6", ControlKind::RadioButton, 128, 50, 113, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton5, "RadioButton5", ControlKind::RadioButton, 9, 73, 129, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton7, "RadioButton7", ControlKind::RadioButton, 128, 73, 113, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton8, "RadioButton8", ControlKind::RadioButton, 9, 96, 129, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton9, "RadioButton9", ControlKind::RadioButton, 128, 96, 105, 17, true, CursorKind::Arrow, kResolucoes},
    {kRadioButton11, "RadioButton11", ControlKind::RadioButton, 9, 119, 129, 17, true, CursorKind::Arrow, kResolucoes},
    {kCheckBox1, "CheckBox1", ControlKind::CheckBox, 9, 24, 89, 17, true, CursorKind::Arrow, kSOM},
    {kCheckBox2, "CheckBox2", ControlKind::CheckBox, 128, 24, 57, 17, true, CursorKind::Arrow, kSOM},
    {kRadioButton1, "RadioButton1", ControlKind::RadioButton, 9, 20, 153, 17, true, CursorKind::Arrow, kANTLAG},
    {kRadioButton2, "RadioButton2", ControlKind::RadioButton, 9, 40, 193, 17, true, CursorKind::Arrow, kANTLAG},
    {kImage1, "Image1", ControlKind::Area, 25, 24, 35, 23, true, CursorKind::Hand, kLanguageSelect},
    {kImage2, "Image2", ControlKind::Area, 87, 24, 35, 23, true, CursorKind::Hand, kLanguageSelect},
    {kImage3, "Image3", ControlKind::Area, 150, 24, 35, 23, true, CursorKind::Hand, kLanguageSelect},
};

// The design captions and texts, UTF-8.
inline const char* DesignText(int id) {
  switch (id) {
    case kBitBtn1: return "OK";
    case kResolucoes: return "RESOLUÇÕES";
    case kSOM: return "SOM";
    case kANTLAG: return "REDUZ A QUALIDADE GRÁFICA DAS IMAGENS";
    case kEdit1: return "Digite seu login";
    case kLanguageSelect: return "Selecione o Idioma";
    case kRadioButton3: return "648x480";
    case kRadioButton4: return "800x600";
    case kRadioButton5: return "1024x768";
    case kRadioButton6: return "1280x1024";
    case kRadioButton7: return "1366x768";
    case kRadioButton8: return "1440x900";
    case kRadioButton9: return "1600x900";
    case kRadioButton10: return "1680x1050";
    case kRadioButton11: return "1920x1080";
    case kCheckBox1: return "Musica";
    case kCheckBox2: return "Som";
    case kRadioButton1: return "Ativar ANT-LAG";
    case kRadioButton2: return "Desativar ANT-LAG";
  }
  return "";
}

}  // namespace options_window
