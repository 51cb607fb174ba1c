#pragma once
#include <string>
#include <string_view>

// One message in the three languages the launcher speaks. Each member is a complete text:
// variable parts are joined into each member before the choice.
struct LocalizedText {
  std::string portuguese;
  std::string spanish;
  std::string english;
};

enum class Language { None, Por, Spn, Eng };

// The current language, one of the codes "Por", "Spn", "Eng", or empty. Written on the window
// thread, read by the update worker: held in an atomic, so a reader always sees a whole value.
Language CurrentLanguage();
void SetCurrentLanguage(Language language);
// "Por", "Spn", "Eng" or "".
std::string_view LanguageCode(Language language);

// The member of the current language: Spanish for "Spn", English for "Eng" (letter case of
// A to Z ignored), Portuguese for everything else.
const std::string& PickText(const LocalizedText& text);

// The start-up decision: a stored code that equals "Eng", "Por" or "Spn" exactly (in that
// order) becomes the current language; anything else leaves it as it is.
// Gives the window-mode caption of the chosen language, or nothing.
const char* DecideStartupLanguage(const std::string& stored_code);
