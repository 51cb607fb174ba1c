// The ANSI code page stand-in: Windows-1252, the Western European code page.
#include <array>
#include <cstdint>

#include "platform/posix/utf8.h"
#include "platform/text.h"

namespace platform {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 marks the five bytes the code page leaves undefined,
// which Windows maps to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t CodePointOf(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0) return kHighControls[byte - 0x80];
  return byte;
}

using posix_text::AppendUtf8;

// Decodes one UTF-8 sequence at text[i]; a malformed byte decodes as U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  auto byte = static_cast<unsigned char>(text[i++]);
  if (byte < 0x80) return byte;
  int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t c = byte & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return c;
}

}  // namespace

std::string ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = NextCodePoint(utf8, i);
    char byte = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      byte = static_cast<char>(c);
    } else {
      for (size_t k = 0; k < kHighControls.size(); ++k) {
        if ((kHighControls[k] == c && c != 0) || (kHighControls[k] == 0 && c == 0x80 + k)) {
          byte = static_cast<char>(0x80 + k);
          break;
        }
      }
    }
    out += byte;
  }
  return out;
}

std::string FromAnsi(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char byte : bytes) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(byte)));
  return out;
}

}  // namespace platform
