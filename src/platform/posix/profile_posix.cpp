// The profile API on POSIX: an INI reader that follows the rules GetPrivateProfileStringW
// applies to a file's text, checked against Wine 8's implementation of it.
#include <algorithm>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/posix/utf8.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// Length of the UTF-8 sequence led by byte (0: not a lead byte); bits gets the lead byte's
// share of the code point.
int SequenceLength(unsigned char byte, char32_t& bits) {
  int length = byte < 0x80 ? 1 : byte < 0xC2 ? 0 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : byte < 0xF5 ? 4 : 0;
  bits = length <= 1 ? byte : byte & (0x7F >> length);
  return length;
}

// Malformed sequences, overlong forms and encoded surrogates become U+FFFD, one per byte that
// cannot start a sequence, as MultiByteToWideChar decodes them.
std::u16string Utf8ToUtf16(std::string_view text) {
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    int length = SequenceLength(static_cast<unsigned char>(text[i]), c);
    int k = 1;
    while (k < length && i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k++]) & 0x3F);
    bool whole = length > 0 && k == length && c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    AppendUtf16(out, whole ? c : kReplacement);
    i += whole ? length : std::max(k, 1);
  }
  return out;
}

using posix_text::AppendUtf8;

// A surrogate without its partner (a value cut between the two) becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    bool high = c >= 0xD800 && c < 0xDC00;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf16Bytes(std::string_view bytes, bool big_endian) {
  std::u16string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
    out += static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
  }
  return out;
}

std::u16string DecodeFile(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToUtf16(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return Utf16Bytes(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16Bytes(bytes.substr(2), true);
  return Utf8ToUtf16(FromAnsi(bytes));
}

// ^Z counts as a blank: old files end with it.
bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x1A; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Names and values end at a NUL, as the C strings the system keeps them in.
std::u16string_view UpToNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// The section name of a "[name]" line: up to its last "]", without blanks around it.
bool SectionHeader(std::u16string_view line, std::u16string_view& name) {
  size_t close = line.rfind(u']');
  if (line.front() != u'[' || close == std::u16string_view::npos) return false;
  name = UpToNul(Trim(line.substr(1, close - 1)));
  return true;
}

struct KeyLine {
  std::u16string_view name;
  std::u16string_view value;
  bool has_value = false;
};

KeyLine SplitKeyLine(std::u16string_view line) {
  size_t equals = line.find(u'=');
  if (equals == std::u16string_view::npos) return {UpToNul(line), {}, false};
  return {UpToNul(Trim(line.substr(0, equals))), UpToNul(Trim(line.substr(equals + 1))), true};
}

// One pair of enclosing quotes goes, the way the system copies a value into the caller's
// buffer: when the value only just fits, the closing quote is cut and the last character goes
// in its place.
std::u16string_view CopyEntry(std::u16string_view value, size_t buffer_chars) {
  bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
  if (quoted) value.remove_prefix(1);
  std::u16string_view copied = value.substr(0, buffer_chars - 1);
  if (quoted && !copied.empty() && buffer_chars >= value.size()) copied.remove_suffix(1);
  return copied;
}

// The value of the key's first occurrence in the first section of that name; only that
// section is searched, as the system does.
std::u16string_view FindValue(std::u16string_view text, std::u16string_view section, std::u16string_view key) {
  bool in_section = false, section_seen = false;
  while (!text.empty()) {
    size_t end = std::min(text.find_first_of(u"\r\n"), text.size());
    std::u16string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == text.size() ? end : end + 1);
    if (line.empty()) continue;
    std::u16string_view name;
    if (SectionHeader(line, name)) {
      if (section_seen) return {};
      in_section = section_seen = SameName(name, section);
    } else if (in_section) {
      KeyLine entry = SplitKeyLine(line);
      if (SameName(entry.name, key)) return entry.has_value ? entry.value : std::u16string_view{};
    }
  }
  return {};
}

}  // namespace

std::string ReadProfileText(std::string_view file_bytes, std::string_view section, std::string_view key,
                            size_t buffer_chars) {
  std::u16string section_name = Utf8ToUtf16(section), key_name = Utf8ToUtf16(key);
  std::u16string_view wanted_section = Trim(section_name), wanted_key = Trim(key_name);
  if (buffer_chars == 0 || wanted_section.empty() || wanted_key.empty()) return {};
  std::u16string text = DecodeFile(file_bytes);
  return Utf16ToUtf8(CopyEntry(FindValue(text, wanted_section, wanted_key), buffer_chars));
}

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              size_t buffer_chars) {
  std::string bytes;
  try {
    File file = File::OpenRead(path);
    char buffer[4096];
    while (size_t got = file.Read(buffer, sizeof buffer)) bytes.append(buffer, got);
  } catch (const SystemError&) {
    return {};  // an unreadable file reads as an absent one
  }
  return ReadProfileText(bytes, section, key, buffer_chars);
}

}  // namespace platform
