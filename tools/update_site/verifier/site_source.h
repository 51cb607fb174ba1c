#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "bzip2/stream.h"

// Where `verify` reads a site from: a folder, or a web address fetched as the launcher would.
class SiteSource {
 public:
  virtual ~SiteSource() = default;
  // The file at `relative` ("/" between directories), read from its start. Nothing when it
  // cannot be had, with the reason in `problem` ("missing", "HTTP 404").
  virtual std::unique_ptr<TStream> Open(const std::string& relative, std::string& problem) const = 0;
};

// A list is a few hundred kilobytes; anything far larger is not one.
inline constexpr size_t kLargestListFile = 64u << 20;

// The whole file at `relative`, when it is there and no larger than `limit` bytes; otherwise
// nothing, with the reason in `problem` ("missing..." when it is not there).
std::optional<std::string> ReadSmallFile(const SiteSource& site, const std::string& relative, size_t limit,
                                         std::string& problem);

// An address starting with http:// or https:// is fetched; anything else is a folder.
std::unique_ptr<SiteSource> OpenSite(const std::string& folder_or_url);
