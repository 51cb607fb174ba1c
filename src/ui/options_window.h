#pragma once
#include <windows.h>

#include <map>
#include <memory>

#include "platform/win32/scoped_handle.h"
#include "settings/options_view.h"
#include "ui/painted_control.h"

// The options window, `Form_Opcoes`: a dialog-like window laid out by options_window::kControls,
// created hidden at start-up and filled once from the game settings. The OK button saves and
// hides it; the title bar's close button hides it without saving.
class TForm_Opcoes : public OptionsView {
 public:
  explicit TForm_Opcoes(HINSTANCE instance);
  ~TForm_Opcoes() override;
  TForm_Opcoes(const TForm_Opcoes&) = delete;
  TForm_Opcoes& operator=(const TForm_Opcoes&) = delete;

  // Creates the window hidden, owned by `owner`, and runs its filling.
  void Create(HWND owner);
  // Shows the window without making it modal and brings it to the front; centred over
  // `main_window` the first time, where it was left afterwards.
  void ShowInFront(HWND main_window);
  HWND Handle() const { return hwnd_; }

  std::string LoginText() const override;
  void SetLoginText(const std::string& text) override;
  int SelectedResolutionButton() const override;
  void SelectResolutionButton(int number) override;
  bool MusicaChecked() const override;
  void SetMusicaChecked(bool checked) override;
  bool SomChecked() const override;
  void SetSomChecked(bool checked) override;
  void SetCaption(Caption which, const std::string& text) override;
  void Hide() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void OnCommand(int id);
  void OnAntLag(int id);
  HWND Control(int id) const { return controls_.at(id); }
  bool Checked(int id) const;
  void SetChecked(int id, bool checked);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  bool shown_before_ = false;
  ScopedFont group_font_;
  ScopedFont button_font_;
  ScopedBrush white_;
  ScopedBrush edit_background_;
  ScopedBrush sound_background_;
  ScopedBrush panel_;
  std::map<int, HWND> controls_;
  std::map<int, std::unique_ptr<PaintedControl>> flags_;
};
