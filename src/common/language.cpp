#include "common/language.h"

#include <atomic>
#include <cctype>

namespace {

std::atomic<Language> current_language{Language::None};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

Language CurrentLanguage() { return current_language.load(); }

void SetCurrentLanguage(Language language) { current_language.store(language); }

std::string_view LanguageCode(Language language) {
  switch (language) {
    case Language::Por: return "Por";
    case Language::Spn: return "Spn";
    case Language::Eng: return "Eng";
    case Language::None: break;
  }
  return "";
}

const std::string& PickText(const LocalizedText& text) {
  std::string_view code = LanguageCode(CurrentLanguage());
  if (EqualsIgnoringAsciiCase(code, "Spn")) return text.spanish;
  if (EqualsIgnoringAsciiCase(code, "Eng")) return text.english;
  return text.portuguese;
}

const char* DecideStartupLanguage(const std::string& stored_code) {
  struct Choice {
    const char* code;
    Language language;
    const char* caption;
  };
  static constexpr Choice kChoices[] = {{"Eng", Language::Eng, "Window Mode"},
                                        {"Por", Language::Por, "Modo Janela"},
                                        {"Spn", Language::Spn, "Modo Ventana"}};
  for (const Choice& choice : kChoices) {
    if (stored_code == choice.code) {
      SetCurrentLanguage(choice.language);
      return choice.caption;
    }
  }
  return nullptr;
}
