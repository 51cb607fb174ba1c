#include "signing/hex_text.h"

namespace {

int LowerHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string HexText(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

bool ParseHexText(std::string_view text, std::span<uint8_t> bytes) {
  if (text.size() != bytes.size() * 2) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    int high = LowerHexDigit(text[2 * i]), low = LowerHexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}
