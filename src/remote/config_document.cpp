#include "remote/config_document.h"

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "remote/caught_error.h"

namespace {

using rapidjson::Value;

// Numbers keep the text they are written with (44405 stays "44405", 1e3 stays "1e3"); the
// iterative parser keeps deep nesting off the call stack. Without kParseStopWhenDoneFlag
// anything but whitespace after the value fails the parse.
constexpr unsigned kParseFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag;

const char* const kParseFailed = "Erro ao processar JSON";
const char* const kReadFailed = "Exceção ao baixar ou interpretar JSON: ";

constexpr std::pair<const char*, std::string TLauncherConfig::*> kConfigFields[] = {
    {"Design", &TLauncherConfig::Design},   {"UpdateUrl", &TLauncherConfig::UpdateUrl},
    {"VPS_IP", &TLauncherConfig::VPS_IP},   {"ConnectServerPort", &TLauncherConfig::ConnectServerPort},
    {"Title", &TLauncherConfig::Title},     {"Phrase", &TLauncherConfig::Phrase},
};
const char* const kNetworkNames[] = {"Discord", "Instagram", "Facebook", "YouTube", "WhatsApp"};

bool IsBlank(const std::string& body) {
  return std::all_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

// The log entry that ends the reading, or nothing when the document is an object.
std::optional<std::string> Parse(const std::string& body, rapidjson::Document& document) {
  // The parser takes a NUL as the end of its input, and a NUL has no place in JSON text.
  if (body.find('\0') != std::string::npos) return kParseFailed;
  // A plain memory stream: Parse(text, length) would skip a byte-order mark.
  rapidjson::MemoryStream stream(body.data(), body.size());
  document.ParseStream<kParseFlags, rapidjson::UTF8<>>(stream);
  if (document.HasParseError()) return kParseFailed;
  if (!document.IsObject()) return std::string(kReadFailed) + "Invalid class typecast";
  return std::nullopt;
}

// The first member of that exact name.
const Value* Member(const Value& object, const char* name) {
  auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

std::string StringOf(const Value& value) { return {value.GetString(), value.GetStringLength()}; }

// Numbers were parsed as strings, so a string here is either.
std::string ReadText(const Value& object, const char* name) {
  const Value* value = Member(object, name);
  if (!value || value->IsNull()) return {};
  if (value->IsString()) return StringOf(*value);
  if (value->IsBool()) return value->GetBool() ? "true" : "false";
  throw ConversionError(std::string("Conversion from ") + (value->IsObject() ? "TJSONObject" : "TJSONArray") +
                        " to string is not supported");
}

std::string SlideText(const Value& value) {
  if (value.IsString()) return StringOf(value);
  if (value.IsBool()) return value.GetBool() ? "true" : "false";
  if (value.IsNull()) return "null";
  return {};
}

// Each field is stored as soon as it is read: a conversion error keeps the ones before it.
void ReadConfigSection(const Value& root, TLauncherConfig& config, const ConfigDocumentHooks& hooks) {
  const Value* section = Member(root, "config");
  if (!section || !section->IsObject()) {
    hooks.log("Seção \"config\" não encontrada no JSON.");
    return;
  }
  for (const auto& [name, field] : kConfigFields) config.*field = ReadText(*section, name);
  std::string logo = ReadText(*section, "LogoUrl");
  if (!logo.empty()) hooks.load_logo(logo);
}

// The links are read, so that a wrong kind raises as it does for "config", and then dropped.
void ReadNetworkSection(const Value& root, const ConfigDocumentHooks& hooks) {
  const Value* section = Member(root, "redes");
  if (!section || !section->IsObject()) {
    hooks.log("Seção \"redes\" não encontrada no JSON.");
    return;
  }
  for (const char* name : kNetworkNames) ReadText(*section, name);
}

void ReadSlides(const Value& root, std::vector<std::string>& slides, const ConfigDocumentHooks& hooks) {
  const Value* list = Member(root, "slides");
  if (!list || !list->IsArray()) {
    hooks.log("Nenhum slide encontrado ou estrutura inválida.");
    return;
  }
  for (const Value& element : list->GetArray()) {
    auto failure = CaughtError([&] { slides.push_back(SlideText(element)); });
    if (failure) hooks.log("Erro ao adicionar slide: " + *failure);
  }
}

}  // namespace

bool IsConfigDocument(const std::string& body) {
  if (IsBlank(body)) return false;
  rapidjson::Document document;
  std::optional<std::string> problem;
  auto failure = CaughtError([&] { problem = Parse(body, document); });
  return !failure && !problem;
}

void ReadConfigDocument(const std::string& body, TLauncherConfig& config, std::vector<std::string>& slides,
                        const ConfigDocumentHooks& hooks) {
  if (IsBlank(body)) {
    hooks.log("Retorno vazio da API.");
    return;
  }
  rapidjson::Document document;
  std::optional<std::string> problem;
  auto failure = CaughtError([&] { problem = Parse(body, document); });
  if (failure) problem = kReadFailed + *failure;
  if (problem) {
    hooks.log(*problem);
    return;
  }
  ReadConfigSection(document, config, hooks);
  ReadNetworkSection(document, hooks);
  ReadSlides(document, slides, hooks);
}
