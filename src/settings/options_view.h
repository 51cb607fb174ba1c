#pragma once
#include <string>

// The controls of the options window that its behaviour reads and sets, by their design
// names. Resolution buttons are numbered as in the design, RadioButton3 to RadioButton11.
class OptionsView {
 public:
  enum class Caption { Resolucoes, SOM, ANTLAG, RadioButton1, RadioButton2 };

  virtual ~OptionsView() = default;
  virtual std::string LoginText() const = 0;                 // Edit1
  virtual void SetLoginText(const std::string& text) = 0;
  // 3 to 11 for the selected resolution button, 0 when none is selected.
  virtual int SelectedResolutionButton() const = 0;
  virtual void SelectResolutionButton(int number) = 0;
  virtual bool MusicaChecked() const = 0;                    // CheckBox1, captioned "Musica"
  virtual void SetMusicaChecked(bool checked) = 0;
  virtual bool SomChecked() const = 0;                       // CheckBox2, captioned "Som"
  virtual void SetSomChecked(bool checked) = 0;
  virtual void SetCaption(Caption which, const std::string& text) = 0;
  virtual void Hide() = 0;
};
