#include "common/language.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

const LocalizedText kConnecting{"Conectando-se ao servidor de atualizações...", "Conexión al servidor de actualización...",
                                "Connecting to the update server..."};

class LanguageTest : public testing::Test {
 protected:
  void SetUp() override { SetCurrentLanguage(Language::None); }
  void TearDown() override { SetCurrentLanguage(Language::None); }
};

TEST_F(LanguageTest, PickTextFollowsTheCurrentLanguage) {
  EXPECT_EQ(PickText(kConnecting), kConnecting.portuguese) << "an empty language speaks Portuguese";
  SetCurrentLanguage(Language::Spn);
  EXPECT_EQ(PickText(kConnecting), kConnecting.spanish);
  SetCurrentLanguage(Language::Eng);
  EXPECT_EQ(PickText(kConnecting), kConnecting.english);
  SetCurrentLanguage(Language::Por);
  EXPECT_EQ(PickText(kConnecting), kConnecting.portuguese);
}

TEST_F(LanguageTest, StartupDecisionComparesExactly) {
  struct Case {
    const char* stored;
    Language language;
    const char* caption;
  };
  const Case cases[] = {
      {"Eng", Language::Eng, "Window Mode"},  {"Por", Language::Por, "Modo Janela"},
      {"Spn", Language::Spn, "Modo Ventana"}, {"", Language::None, nullptr},
      {"eng", Language::None, nullptr},       {"SPN", Language::None, nullptr},
      {"Por ", Language::None, nullptr},      {"Portuguese", Language::None, nullptr},
  };
  for (const Case& c : cases) {
    SetCurrentLanguage(Language::None);
    const char* caption = DecideStartupLanguage(c.stored);
    EXPECT_EQ(CurrentLanguage(), c.language) << '"' << c.stored << '"';
    EXPECT_STREQ(caption, c.caption) << '"' << c.stored << '"';
  }
}

TEST_F(LanguageTest, AWorkerAlwaysSeesAWholeLanguage) {
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) {
      const std::string& text = PickText(kConnecting);
      ASSERT_TRUE(&text == &kConnecting.portuguese || &text == &kConnecting.spanish || &text == &kConnecting.english);
    }
  });
  for (int i = 0; i < 20000; ++i) SetCurrentLanguage(i % 2 ? Language::Eng : Language::Spn);
  stop = true;
  worker.join();
}

}  // namespace
