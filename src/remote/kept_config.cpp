#include "remote/kept_config.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <exception>
#include <vector>

#include "common/file_content.h"
#include "platform/files.h"

namespace {

// The file is small, but a damaged or foreign one must not be read without end.
constexpr size_t kLargestKeptFile = size_t{64} << 20;

const char* const kTimeFields[] = {"year", "month", "day", "hour", "minute", "second"};

int* TimeField(platform::LocalTime& time, size_t index) {
  int* fields[] = {&time.year, &time.month, &time.day, &time.hour, &time.minute, &time.second};
  return fields[index];
}

std::string ReadWhole(const std::string& path) {
  platform::File file = platform::File::OpenRead(path);
  std::string text;
  std::vector<char> block(65536);
  while (size_t got = file.Read(block.data(), block.size())) {
    text.append(block.data(), got);
    if (text.size() > kLargestKeptFile) return {};
  }
  return text;
}

KeptConfigRead Damaged() {
  KeptConfigRead read;
  read.damaged = true;
  return read;
}

}  // namespace

void KeepConfigDocument(const std::string& folder, const KeptConfig& kept) {
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  writer.StartObject();
  writer.Key("taken");
  writer.StartObject();
  platform::LocalTime taken = kept.taken;
  for (size_t i = 0; i < std::size(kTimeFields); ++i) {
    writer.Key(kTimeFields[i]);
    writer.Int(*TimeField(taken, i));
  }
  writer.EndObject();
  writer.Key("document");
  writer.String(kept.document.data(), static_cast<rapidjson::SizeType>(kept.document.size()));
  writer.EndObject();

  ReplaceFileContent(folder + kKeptConfigName, std::string_view(text.GetString(), text.GetSize()), ".tmp");
}

KeptConfigRead ReadKeptConfig(const std::string& folder) {
  const std::string path = folder + kKeptConfigName;
  if (!platform::FileExists(path)) return {};
  std::string text;
  try {
    text = ReadWhole(path);
  } catch (const std::exception&) {
    return Damaged();
  }
  rapidjson::Document root;
  root.Parse(text.data(), text.size());
  if (root.HasParseError() || !root.IsObject()) return Damaged();
  auto document = root.FindMember("document");
  auto taken = root.FindMember("taken");
  if (document == root.MemberEnd() || !document->value.IsString() || taken == root.MemberEnd() ||
      !taken->value.IsObject()) {
    return Damaged();
  }
  KeptConfig kept{.document = {document->value.GetString(), document->value.GetStringLength()}, .taken = {}};
  for (size_t i = 0; i < std::size(kTimeFields); ++i) {
    auto field = taken->value.FindMember(kTimeFields[i]);
    if (field == taken->value.MemberEnd() || !field->value.IsInt()) return Damaged();
    *TimeField(kept.taken, i) = field->value.GetInt();
  }
  return {.kept = std::move(kept)};
}
