#include "signing/signed_statement.h"

#include <sodium/crypto_sign.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "signing/hex_text.h"
#include "signing/sodium_ready.h"

namespace {

constexpr std::string_view kHeaderLine = "launcher-statement 1";
// Package sizes in the list are 32-bit and shown on signed bars.
constexpr uint32_t kLargestPackage = 2147483647;
constexpr size_t kKeyIdBytes = 8;

using Signature = std::array<uint8_t, crypto_sign_BYTES>;

// A statement that breaks the format: on which line, and how.
struct Malformed {
  size_t line;
  std::string problem;
};

// A line as a reason quotes it: control characters as "?", a long line cut short at a character
// boundary, so that a log stays one readable line of UTF-8.
std::string Quoted(std::string_view line) {
  constexpr size_t kShown = 60;
  const bool cut = line.size() > kShown;
  if (cut) {
    size_t end = kShown;
    while (end > 0 && (static_cast<uint8_t>(line[end]) & 0xC0) == 0x80) --end;
    line = line.substr(0, end);
  }
  std::string text = "\"";
  for (char c : line) text += (static_cast<uint8_t>(c) < 32 || c == 0x7F) ? '?' : c;
  return text + (cut ? "...\"" : "\"");
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 32 || c == 0x7F; });
}

// The statement's lines in order; each must end with "\n".
class StatementLines {
 public:
  explicit StatementLines(std::string_view bytes) : bytes_(bytes) {}

  // The next line, without its "\n". `expected` names what should come, for the reason when the
  // statement ends first.
  std::string_view Next(std::string_view expected) {
    if (AtEnd()) throw Malformed{number_ + 1, "the statement ends where " + std::string(expected) + " should follow"};
    ++number_;
    const size_t end = bytes_.find('\n', next_);
    if (end == std::string_view::npos) throw Malformed{number_, "the line has no line break: the statement is cut short"};
    start_ = next_;
    next_ = end + 1;
    return bytes_.substr(start_, end - start_);
  }
  bool AtEnd() const { return next_ == bytes_.size(); }
  size_t Number() const { return number_; }
  // Every byte before the line Next() gave last.
  std::string_view BeforeLine() const { return bytes_.substr(0, start_); }

 private:
  std::string_view bytes_;
  size_t start_ = 0, next_ = 0, number_ = 0;
};

// A number in its one accepted form: what std::to_string writes.
template <typename Number>
bool ParseCanonical(std::string_view text, Number& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && std::to_string(value) == text;
}

// What follows "keyword " at the start of the line.
std::string_view AfterKeyword(std::string_view line, std::string_view keyword, size_t number, std::string_view form) {
  if (line.size() <= keyword.size() || line.substr(0, keyword.size()) != keyword || line[keyword.size()] != ' ') {
    throw Malformed{number, "expected " + std::string(form) + ", found " + Quoted(line)};
  }
  return line.substr(keyword.size() + 1);
}

struct ParsedStatement {
  SignedStatement statement;
  std::string_view signed_bytes;
  std::array<uint8_t, kKeyIdBytes> key_id{};
  Signature signature{};
};

void ReadPackageLine(std::string_view line, size_t number, SignedStatement& statement) {
  constexpr std::string_view kForm = "\"package <SHA-256> <size> <path>\"";
  std::string_view rest = AfterKeyword(line, "package", number, kForm);
  PackageDigest digest;
  const size_t digest_end = 2 * digest.sha256.size();
  if (rest.size() <= digest_end || rest[digest_end] != ' ' || !ParseHexText(rest.substr(0, digest_end), digest.sha256)) {
    throw Malformed{number, "expected " + std::string(kForm) + " with 64 lowercase hexadecimal digits, found " + Quoted(line)};
  }
  rest.remove_prefix(digest_end + 1);
  const size_t size_end = rest.find(' ');
  const std::string_view size = rest.substr(0, size_end);
  if (!ParseCanonical(size, digest.size) || digest.size > kLargestPackage) {
    throw Malformed{number, "the size must be a whole number from 0 to 2147483647, not " + Quoted(size)};
  }
  const std::string_view path = size_end == std::string_view::npos ? std::string_view() : rest.substr(size_end + 1);
  if (path.empty()) throw Malformed{number, "the package line ends without a path"};
  if (HasControlCharacter(path)) throw Malformed{number, "the path " + Quoted(path) + " holds a control character"};
  if (!statement.packages.emplace(std::string(path), digest).second) {
    throw Malformed{number, "the path " + Quoted(path) + " is listed a second time"};
  }
}

void ReadSignatureLine(std::string_view line, size_t number, ParsedStatement& parsed) {
  std::string_view rest = AfterKeyword(line, "signature", number, "\"signature <key id> <signature>\"");
  const size_t id_end = 2 * parsed.key_id.size();
  if (rest.size() != id_end + 1 + 2 * parsed.signature.size() || rest[id_end] != ' ' ||
      !ParseHexText(rest.substr(0, id_end), parsed.key_id) || !ParseHexText(rest.substr(id_end + 1), parsed.signature)) {
    throw Malformed{number, "the signature line must hold a key id of 16 and a signature of 128 lowercase hexadecimal "
                            "digits: " + Quoted(line)};
  }
}

ParsedStatement Parse(std::string_view bytes) {
  StatementLines lines(bytes);
  ParsedStatement parsed;
  SignedStatement& statement = parsed.statement;
  if (std::string_view header = lines.Next("the first line"); header != kHeaderLine) {
    throw Malformed{1, "not a statement: the first line must be \"launcher-statement 1\", found " + Quoted(header)};
  }
  constexpr std::string_view kVersion = "\"version <whole number from 1>\"";
  std::string_view line = lines.Next(kVersion);
  if (!ParseCanonical(AfterKeyword(line, "version", 2, kVersion), statement.version) || statement.version == 0) {
    throw Malformed{2, "expected " + std::string(kVersion) + ", found " + Quoted(line)};
  }
  constexpr std::string_view kExpires = "\"expires <Unix time in seconds>\"";
  line = lines.Next(kExpires);
  if (!ParseCanonical(AfterKeyword(line, "expires", 3, kExpires), statement.expires)) {
    throw Malformed{3, "expected " + std::string(kExpires) + ", found " + Quoted(line)};
  }
  constexpr std::string_view kList = "\"list <SHA-256 of the list>\" with 64 lowercase hexadecimal digits";
  line = lines.Next(kList);
  if (!ParseHexText(AfterKeyword(line, "list", 4, kList), statement.list_sha256)) {
    throw Malformed{4, "expected " + std::string(kList) + ", found " + Quoted(line)};
  }
  for (;;) {
    line = lines.Next("a \"package\" or the \"signature\" line");
    if (line.substr(0, 10) == "signature ") break;
    ReadPackageLine(line, lines.Number(), statement);
  }
  ReadSignatureLine(line, lines.Number(), parsed);
  parsed.signed_bytes = lines.BeforeLine();
  if (!lines.AtEnd()) throw Malformed{lines.Number() + 1, "bytes follow the signature line"};
  return parsed;
}

StatementCheck Refused(StatementFault fault, std::string reason, std::string key_id = "") {
  StatementCheck check;
  check.fault = fault;
  check.reason = std::move(reason);
  check.key_id = std::move(key_id);
  return check;
}

// Parses, or says on which line the statement breaks the format.
std::optional<ParsedStatement> TryParse(std::string_view bytes, StatementCheck& refusal) {
  try {
    return Parse(bytes);
  } catch (const Malformed& malformed) {
    refusal = Refused(StatementFault::Malformed,
                      "malformed statement: line " + std::to_string(malformed.line) + ": " + malformed.problem);
    return std::nullopt;
  }
}

std::string KeyIdList(const std::vector<PublicKey>& keys) {
  std::string text;
  for (const PublicKey& key : keys) text += (text.empty() ? "" : ", ") + KeyId(key);
  return text.empty() ? "none" : text;
}

}  // namespace

std::string WriteStatement(const SignedStatement& statement, const SecretKey& key) {
  if (statement.version == 0) throw std::invalid_argument("a statement's version starts at 1");
  std::string text = std::string(kHeaderLine) + "\n";
  text += "version " + std::to_string(statement.version) + "\n";
  text += "expires " + std::to_string(statement.expires) + "\n";
  text += "list " + HexText(statement.list_sha256) + "\n";
  for (const auto& [path, digest] : statement.packages) {
    if (path.empty() || HasControlCharacter(path)) {
      throw std::invalid_argument("a statement cannot hold the path " + Quoted(path));
    }
    if (digest.size > kLargestPackage) {
      throw std::invalid_argument("a statement cannot hold a package of " + std::to_string(digest.size) + " bytes");
    }
    text += "package " + HexText(digest.sha256) + " " + std::to_string(digest.size) + " " + path + "\n";
  }
  EnsureSodiumReady();
  Signature signature;
  crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                       key.bytes.data());
  return text + "signature " + KeyId(PublicKeyOf(key)) + " " + HexText(signature) + "\n";
}

StatementCheck ReadStatementUnverified(std::string_view bytes) {
  StatementCheck check;
  std::optional<ParsedStatement> parsed = TryParse(bytes, check);
  if (!parsed) return check;
  check.fault = StatementFault::None;
  check.statement = std::move(parsed->statement);
  check.key_id = HexText(parsed->key_id);
  return check;
}

StatementCheck ReadStatement(std::string_view bytes, const std::vector<PublicKey>& trusted) {
  StatementCheck check;
  std::optional<ParsedStatement> parsed = TryParse(bytes, check);
  if (!parsed) return check;
  const std::string key_id = HexText(parsed->key_id);
  EnsureSodiumReady();
  bool known = false;
  for (const PublicKey& key : trusted) {
    // Two trusted keys may share an id; the signature decides between them.
    if (!std::equal(parsed->key_id.begin(), parsed->key_id.end(), key.bytes.begin())) continue;
    known = true;
    const std::string_view body = parsed->signed_bytes;
    if (crypto_sign_verify_detached(parsed->signature.data(), reinterpret_cast<const unsigned char*>(body.data()),
                                    body.size(), key.bytes.data()) == 0) {
      check.fault = StatementFault::None;
      check.statement = std::move(parsed->statement);
      check.key_id = key_id;
      return check;
    }
  }
  if (!known) {
    return Refused(StatementFault::UnknownKey,
                   "signed with key " + key_id + ", which is not trusted (trusted keys: " + KeyIdList(trusted) + ")",
                   key_id);
  }
  return Refused(StatementFault::BadSignature,
                 "bad signature: the statement is not the one key " + key_id +
                     " signed (changed after signing, or signed with another key)",
                 key_id);
}

std::optional<uint64_t> ReadStatementVersion(std::string_view bytes) {
  try {
    StatementLines lines(bytes);
    uint64_t version = 0;
    if (lines.Next("") != kHeaderLine) return std::nullopt;
    if (!ParseCanonical(AfterKeyword(lines.Next(""), "version", 2, ""), version) || version == 0) return std::nullopt;
    return version;
  } catch (const Malformed&) {
    return std::nullopt;
  }
}

std::optional<std::string> CheckStatementFor(const SignedStatement& statement, const Sha256Digest& list_sha256,
                                             int64_t now, uint64_t highest_accepted_version) {
  if (now >= statement.expires) return "expired at " + UtcTimeText(statement.expires);
  if (statement.version < highest_accepted_version) {
    return "older than the accepted version: version " + std::to_string(statement.version) + ", and version " +
           std::to_string(highest_accepted_version) + " was accepted before";
  }
  if (statement.list_sha256 != list_sha256) {
    return "does not match the list: the list's SHA-256 is " + Sha256Text(list_sha256) + ", the statement's " +
           Sha256Text(statement.list_sha256);
  }
  return std::nullopt;
}

std::string UtcTimeText(int64_t unix_seconds) {
  constexpr int64_t kEndOfYear9999 = 253402300799;
  if (unix_seconds < 0 || unix_seconds > kEndOfYear9999) return std::to_string(unix_seconds) + " (Unix time)";
  using namespace std::chrono;
  const sys_seconds time{seconds{unix_seconds}};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}
