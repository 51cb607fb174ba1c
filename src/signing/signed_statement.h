#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "signing/sha256.h"
#include "signing/signing_keys.h"

// The signed statement published beside the update list. It vouches for the list's exact bytes
// and for every package (its SHA-256 and size), so that a launcher holding the site's public
// key can take the list and packages from a web server it does not trust. Text, UTF-8:
//
//   launcher-statement 1
//   version <from 1>
//   expires <Unix time, seconds, UTC>
//   list <SHA-256 of the list>
//   package <SHA-256> <size, at most 2147483647> <path>     one per package, no path twice
//   signature <key id> <Ed25519 signature of every byte before this line>
//
// Every line ends with "\n", nothing follows the signature line, numbers are decimal without
// leading zeros or signs (a minus only for a negative time), digests and keys lowercase
// hexadecimal: each statement has one way to be written.

inline constexpr const char* StatementFileName = "mu.update.sig";

struct PackageDigest {
  Sha256Digest sha256{};
  uint32_t size = 0;  // of the package file, in bytes
  bool operator==(const PackageDigest&) const = default;
};

struct SignedStatement {
  uint64_t version = 0;  // grows with every statement a site publishes
  int64_t expires = 0;   // the first second at which the statement is no longer valid
  Sha256Digest list_sha256{};
  // By the list's path converted from its code page to UTF-8, "\" between directories as the
  // list writes them.
  std::map<std::string, PackageDigest> packages;
  bool operator==(const SignedStatement&) const = default;
};

// The whole statement file. Raises std::invalid_argument for a statement the format cannot
// hold: version 0, an empty path or one with a control character, a size above 2147483647.
std::string WriteStatement(const SignedStatement& statement, const SecretKey& key);

enum class StatementFault { None, Malformed, UnknownKey, BadSignature };

struct StatementCheck {
  StatementFault fault = StatementFault::Malformed;
  std::string reason;                        // for an operator's log; empty when accepted
  std::optional<SignedStatement> statement;  // when accepted
  std::string key_id;                        // of the signature line, once it could be read
};

// Accepts the statement only when it is well formed and signed by one of the trusted keys.
// Whether it is current, new enough and about this list is CheckStatementFor's question.
StatementCheck ReadStatement(std::string_view bytes, const std::vector<PublicKey>& trusted);
// The format alone, the signature unchecked: for an operator's tool that has no key at hand.
// A launcher must never take a statement from here.
StatementCheck ReadStatementUnverified(std::string_view bytes);
// The version of a statement that may be damaged or signed by a key nobody has any more, as
// long as its first two lines can be read: a site's next statement must still go beyond it.
std::optional<uint64_t> ReadStatementVersion(std::string_view bytes);

// Why a verified statement must not be used for this list now, given the highest version
// accepted before (0 for none); nothing when it may be. The reason starts with "expired",
// "older than the accepted version" or "does not match the list".
std::optional<std::string> CheckStatementFor(const SignedStatement& statement, const Sha256Digest& list_sha256,
                                             int64_t now, uint64_t highest_accepted_version);

// "2026-01-31 12:00:00 UTC" for a Unix time; the bare number outside the years 1970 to 9999.
std::string UtcTimeText(int64_t unix_seconds);
