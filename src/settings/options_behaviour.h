#pragma once
#include "common/language.h"
#include "settings/options_view.h"

// What the options window does, on the window thread. Store errors raise SettingsError and end
// the operation at that step; values written before stay written.

// Fills the window from the settings at its creation, then writes WindowMode 1 and VolumeLevel 3.
void FillOptions(OptionsView& view);
// The OK button: saves the login, the resolution, sound and music, then hides the window.
void SaveOptions(OptionsView& view);
// A flag: stores the language, makes it current and re-captions the window.
void ChooseLanguage(OptionsView& view, Language language);
// The reduced-graphics switch: renames the game's OpenGL library and effects file.
void AntLagOn();
void AntLagOff();
