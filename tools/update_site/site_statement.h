#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "signing/signed_statement.h"

// What a signed build needs besides the key: the clock is a parameter, so that a test can
// place a statement's expiry.
struct SigningOptions {
  SecretKey key;
  int64_t now = 0;               // Unix time, seconds
  int64_t lifetime_seconds = 0;  // from `now` to the statement's expiry
};

struct PublishedStatement {
  uint64_t version = 0;
  int64_t expires = 0;
  std::string key_id;
};

int64_t UnixTimeNow();

// Writes the statement for the list about to be published into the site, in one step, under
// StatementFileName. Its version is one beyond the statement already there, whether or not that
// one can still be verified, so that launchers which took the old one take the new one too.
// Raises platform::SystemError, and std::runtime_error when the old statement's version
// cannot be gone beyond.
PublishedStatement PublishStatement(const std::filesystem::path& site_dir, std::string_view list_bytes,
                                    std::map<std::string, PackageDigest> packages, const SigningOptions& signing);

// Removes the statement an earlier signed build left: it would vouch for a list that is gone.
// True when there was one. Raises platform::SystemError when it stays.
bool WithdrawStatement(const std::filesystem::path& site_dir);
