#include "remote/config_document.h"

#include <gtest/gtest.h>

#include "platform/errors.h"

namespace {

const std::string kEmpty = "Retorno vazio da API.";
const std::string kParse = "Erro ao processar JSON";
const std::string kTypecast = "Exceção ao baixar ou interpretar JSON: Invalid class typecast";
const std::string kNoConfig = "Seção \"config\" não encontrada no JSON.";
const std::string kNoRedes = "Seção \"redes\" não encontrada no JSON.";
const std::string kNoSlides = "Nenhum slide encontrado ou estrutura inválida.";
const std::string kObjectError = "Conversion from TJSONObject to string is not supported";
const std::string kArrayError = "Conversion from TJSONArray to string is not supported";

const std::string kSixFields =
    R"("Design":"d1","UpdateUrl":"http://u/","VPS_IP":"1.2.3.4","ConnectServerPort":"44405","Title":"T","Phrase":"P")";
const std::string kFull = R"({"config":{)" + kSixFields + R"(,"LogoUrl":"http://l/logo.png"},)" +
                          R"("redes":{"Discord":"d","Instagram":"i","Facebook":"f","YouTube":"y","WhatsApp":"w"},)" +
                          R"("slides":["s1","s2","s1"]})";
const std::vector<std::string> kFullFields = {"d1", "http://u/", "1.2.3.4", "44405", "T", "P"};
const std::vector<std::string> kNoFields(6);

// A document whose sections "redes" and "slides" are there and empty.
std::string WithConfig(const std::string& members) { return R"({"config":{)" + members + R"(},"redes":{},"slides":[]})"; }
std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

using Texts = std::vector<std::string>;

// What one read leaves behind; rows name only what differs from nothing at all.
struct Outcome {
  Texts fields = Texts(6);  // Design, UpdateUrl, VPS_IP, ConnectServerPort, Title, Phrase
  Texts slides;
  Texts log;
  Texts logos;  // addresses handed to the logo step
  std::string error;
  bool operator==(const Outcome&) const = default;

  Outcome Fields(Texts v) const { return With(&Outcome::fields, std::move(v)); }
  Outcome Slides(Texts v) const { return With(&Outcome::slides, std::move(v)); }
  Outcome Log(Texts v) const { return With(&Outcome::log, std::move(v)); }
  Outcome Logos(Texts v) const { return With(&Outcome::logos, std::move(v)); }
  Outcome Error(std::string v) const { return With(&Outcome::error, std::move(v)); }
  template <typename T>
  Outcome With(T Outcome::*member, T value) const {
    Outcome copy = *this;
    copy.*member = std::move(value);
    return copy;
  }
};
const Outcome kNothing;
const Outcome kFullOutcome = kNothing.Fields(kFullFields).Slides({"s1", "s2", "s1"}).Logos({"http://l/logo.png"});

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  auto list = [&](const char* name, const Texts& items) {
    out << name << "{";
    for (const auto& item : items) out << '"' << item << "\" ";
    out << "} ";
  };
  list("fields", o.fields), list("slides", o.slides), list("log", o.log), list("logos", o.logos);
  return out << "error \"" << o.error << '"';
}

Outcome Read(const std::string& body) {
  Outcome outcome;
  TLauncherConfig config;
  ConfigDocumentHooks hooks{[&](const std::string& entry) { outcome.log.push_back(entry); },
                            [&](const std::string& address) { outcome.logos.push_back(address); }};
  try {
    ReadConfigDocument(body, config, outcome.slides, hooks);
  } catch (const ConversionError& error) {
    outcome.error = error.what();
  }
  outcome.fields = {config.Design, config.UpdateUrl, config.VPS_IP, config.ConnectServerPort, config.Title, config.Phrase};
  return outcome;
}

TEST(ConfigDocumentTest, Documents) {
  struct Case {
    const char* name;
    std::string body;
    Outcome expected;
  };
  const std::string kDeep = Repeat("[", 100000) + Repeat("]", 100000);
  const Case cases[] = {
      {"empty body", "", kNothing.Log({kEmpty})},
      {"blank body", " \r\n\t\x01\x1F ", kNothing.Log({kEmpty})},
      {"full document", kFull, kFullOutcome},
      {"config only", R"({"config":{)" + kSixFields + "}}", kNothing.Fields(kFullFields).Log({kNoRedes, kNoSlides})},
      {"no known section", "{}", kNothing.Log({kNoConfig, kNoRedes, kNoSlides})},
      {"port as a number", WithConfig(R"("ConnectServerPort":44405)"), kNothing.Fields({"", "", "", "44405", "", ""})},
      {"numbers as written", WithConfig(R"("Design":1e3,"UpdateUrl":-0.50,"VPS_IP":12345678901234567890123)"),
       kNothing.Fields({"1e3", "-0.50", "12345678901234567890123", "", "", ""})},
      {"true, false and null", WithConfig(R"("Design":true,"UpdateUrl":false,"VPS_IP":null)"), kNothing.Fields({"true", "false", "", "", "", ""})},
      {"names match in case only", WithConfig(R"("updateurl":"x","TITLE":"y","Title ":"z")"), kNothing},
      {"escapes decoded", WithConfig(R"("Title":"A\u00e7\u00e3o \"q\" \\ \/ \ud83d\ude00","Phrase":"a\u0000b")"),
       kNothing.Fields({"", "", "", "", "A\xC3\xA7\xC3\xA3o \"q\" \\ / \xF0\x9F\x98\x80", std::string("a\0b", 3)})},
      {"first of duplicate names",
       R"({"config":{"Title":"first","Title":"second"},"config":{"Title":"x"},"redes":{},"slides":["a"],"slides":["b"]})",
       kNothing.Fields({"", "", "", "", "first", ""}).Slides({"a"})},
      {"config as a string", R"({"config":"x","redes":{},"slides":[]})", kNothing.Log({kNoConfig})},
      {"config as an array", R"({"config":[],"redes":{},"slides":[]})", kNothing.Log({kNoConfig})},
      {"config as null", R"({"config":null,"redes":{},"slides":[]})", kNothing.Log({kNoConfig})},
      {"redes and slides of other kinds", R"({"config":{},"redes":[],"slides":{}})", kNothing.Log({kNoRedes, kNoSlides})},
      {"Title as an object",
       R"({"config":{"Design":"d","UpdateUrl":"u","VPS_IP":"i","ConnectServerPort":"p","Title":{"a":1},"Phrase":"ph",)"
       R"("LogoUrl":"http://l/x.png"},"slides":["s"]})",
       kNothing.Fields({"d", "u", "i", "p", "", ""}).Error(kObjectError)},
      {"Phrase as an array", WithConfig(R"("Title":"t","Phrase":[1])"), kNothing.Fields({"", "", "", "", "t", ""}).Error(kArrayError)},
      {"LogoUrl as an array", WithConfig(kSixFields + R"(,"LogoUrl":[])"), kNothing.Fields(kFullFields).Error(kArrayError)},
      {"a redes link as an object", R"({"config":{"Title":"t","LogoUrl":"http://l/a.jpg"},"redes":{"Discord":{}},"slides":["s"]})",
       kNothing.Fields({"", "", "", "", "t", ""}).Logos({"http://l/a.jpg"}).Error(kObjectError)},
      {"empty LogoUrl, given first", WithConfig(R"("LogoUrl":"","LogoUrl":"http://second")"), kNothing},
      {"slide texts", R"({"config":{},"redes":{},"slides":["a",12.50,null,{},[],true,false,"a"]})",
       kNothing.Slides({"a", "12.50", "null", "", "", "true", "false", "a"})},
      {"trailing line break", kFull + "\r\n", kFullOutcome},
      {"leading whitespace", "\n\t " + kFull, kFullOutcome},
      {"byte-order mark", "\xEF\xBB\xBF" + kFull, kNothing.Log({kParse})},
      {"byte-order mark as read through 1252", "\xC3\xAF\xC2\xBB\xC2\xBF" + kFull, kNothing.Log({kParse})},
      {"top value an array", R"([{"config":{}}])", kNothing.Log({kTypecast})},
      {"top value a string", R"("text")", kNothing.Log({kTypecast})},
      {"top value a number", "44405", kNothing.Log({kTypecast})},
      {"top value null", "null", kNothing.Log({kTypecast})},
      {"HTML error page", "<html><body>404 Not Found</body></html>", kNothing.Log({kParse})},
      {"cut-off document", kFull.substr(0, kFull.size() - 1), kNothing.Log({kParse})},
      {"text after the document", kFull + " x", kNothing.Log({kParse})},
      {"two documents", "{}{}", kNothing.Log({kParse})},
      {"NUL after the document", std::string("{}\0", 3), kNothing.Log({kParse})},
      {"comment", "{} // note", kNothing.Log({kParse})},
      {"trailing comma", R"({"config":{},})", kNothing.Log({kParse})},
      {"deep nesting in slides", R"({"slides":)" + kDeep + "}", kNothing.Slides({""}).Log({kNoConfig, kNoRedes})},
      {"deep nesting at the top", kDeep, kNothing.Log({kTypecast})},
      {"deep nesting never closed", Repeat("[", 100000), kNothing.Log({kParse})},
      {"deep objects in a config value", R"({"config":{"Design":)" + Repeat(R"({"a":)", 50000) + "1" + Repeat("}", 50001) + "}",
       kNothing.Error(kObjectError)},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.body), c.expected) << c.name;
}

// The read stops at the first entry the log cannot take, with the log's error.
TEST(ConfigDocumentTest, AnUnwritableLogEndsTheRead) {
  std::vector<std::string> slides;
  TLauncherConfig config;
  int entries = 0;
  ConfigDocumentHooks hooks{[&](const std::string&) {
                              ++entries;
                              throw platform::SystemError("Cannot open file \"log.txt\"", 5);
                            },
                            [](const std::string&) {}};
  EXPECT_THROW(ReadConfigDocument(R"({"slides":["a"]})", config, slides, hooks), platform::SystemError);
  EXPECT_EQ(entries, 1);
  EXPECT_TRUE(slides.empty());
  EXPECT_THROW(ReadConfigDocument("not json", config, slides, hooks), platform::SystemError);
}

}  // namespace
