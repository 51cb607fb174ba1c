#include "update_site/site_manifest.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "signing/hex_text.h"
#include "update_site/site_files.h"
#include "update_site/utf8_path.h"

namespace {

// Names the compression too: packages made with other settings must not be kept.
constexpr std::string_view kHeader = "update-site cache 2 bzip2-9";
// Without the packages' SHA-256: still good for keeping packages, which are hashed once more.
constexpr std::string_view kHeaderWithoutDigests = "update-site cache 1 bzip2-9";

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base = 10) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> SplitAtTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

// One line per file: path, size, mtime ("-" when not trusted), CRC-32 in hexadecimal, the
// package's size and its SHA-256 ("-" when not known), separated by tabs. Game paths never hold a
// tab or a line break: the launcher refuses control characters in paths.
std::string FormatManifest(const SiteManifest& manifest) {
  std::string text(kHeader);
  text += '\n';
  for (const auto& [path, entry] : manifest) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08lX", static_cast<unsigned long>(entry.crc));
    text += path + '\t' + std::to_string(entry.size) + '\t' +
            (entry.mtime ? std::to_string(*entry.mtime) : std::string("-")) + '\t' + crc + '\t' +
            std::to_string(entry.package_size) + '\t' +
            (entry.package_sha256 ? Sha256Text(*entry.package_sha256) : std::string("-")) + '\n';
  }
  return text;
}

std::optional<SiteManifest> ParseManifest(std::string_view text) {
  size_t end_of_header = text.find('\n');
  if (end_of_header == std::string_view::npos) return std::nullopt;
  const std::string_view header = text.substr(0, end_of_header);
  if (header != kHeader && header != kHeaderWithoutDigests) return std::nullopt;
  const size_t field_count = header == kHeader ? 6 : 5;
  SiteManifest manifest;
  for (size_t start = end_of_header + 1, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    std::vector<std::string_view> fields = SplitAtTabs(text.substr(start, end - start));
    CachedPackage entry;
    int64_t mtime = 0;
    if (fields.size() != field_count || fields[0].empty() || !ParseNumber(fields[1], entry.size) ||
        !ParseNumber(fields[3], entry.crc, 16) || !ParseNumber(fields[4], entry.package_size)) {
      return std::nullopt;
    }
    if (fields[2] != "-") {
      if (!ParseNumber(fields[2], mtime)) return std::nullopt;
      entry.mtime = mtime;
    }
    if (field_count == 6 && fields[5] != "-") {
      Sha256Digest digest;
      if (!ParseHexText(fields[5], digest)) return std::nullopt;
      entry.package_sha256 = digest;
    }
    manifest.emplace(std::string(fields[0]), entry);
  }
  return manifest;
}

SiteManifest ReadManifest(const std::filesystem::path& site_dir) {
  const std::string path = Utf8(site_dir / kManifestName);
  if (!platform::FileExists(path)) return {};
  try {
    return ParseManifest(ReadWholeFile(path)).value_or(SiteManifest{});
  } catch (const platform::SystemError&) {
    return {};
  }
}

void WriteManifest(const std::filesystem::path& site_dir, const SiteManifest& manifest) {
  ReplaceFileContent(Utf8(site_dir / kManifestName), FormatManifest(manifest));
}
