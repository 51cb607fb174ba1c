#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Bytes as lowercase hexadecimal text, two digits a byte: the one form digests and keys take in
// the files the launcher and update-site exchange.
std::string HexText(std::span<const uint8_t> bytes);

// Reads exactly `bytes.size()` bytes from `text`; false, with `bytes` unspecified, unless the
// text is exactly twice as long and holds lowercase hexadecimal digits only. One accepted form
// per value means a signed text has no equivalent variants.
bool ParseHexText(std::string_view text, std::span<uint8_t> bytes);
