#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "signing/sha256.h"

// What the last build knew about each published file, kept in the site folder so that the next
// build compresses only what changed. It is the tool's own: the launcher never fetches it, and
// the development server does not serve it.
inline constexpr char kManifestName[] = ".update-site-cache";

struct CachedPackage {
  uint64_t size = 0;             // of the game file
  std::optional<int64_t> mtime;  // none when it could not be trusted (changed during the build)
  uint32_t crc = 0;              // of the game file's content
  uint64_t package_size = 0;
  // What a signed statement vouches for; none in a manifest of a build before signing existed.
  std::optional<Sha256Digest> package_sha256;
};

// By the file's path relative to the game folder, "/" between directories.
using SiteManifest = std::map<std::string, CachedPackage>;

// An absent, unreadable or foreign manifest reads as empty: the next build then compresses all.
SiteManifest ReadManifest(const std::filesystem::path& site_dir);
// Replaces the manifest in one step. Raises platform::SystemError when it cannot be written.
void WriteManifest(const std::filesystem::path& site_dir, const SiteManifest& manifest);

std::string FormatManifest(const SiteManifest& manifest);
std::optional<SiteManifest> ParseManifest(std::string_view text);
