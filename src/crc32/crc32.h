#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The standard CRC-32 of zlib, PNG and IEEE 802.3: reflected polynomial EDB88320, register
// starting at all ones, complemented at the end. Check value: CBF43926 for "123456789".

// Continues a finished checksum with more data, as zlib's crc32() does: start with 0.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// The checksum of a file's whole content; a file that cannot be opened counts as empty
// (checksum 0). A read error after opening raises platform::SystemError.
uint32_t FileCRC32(const std::string& FileName);

// The list's form: uppercase hexadecimal, padded with zeros to at least six digits.
std::string Crc32Text(uint32_t crc);
// A checksum field read as a number: hexadecimal digits of either case, any number of
// leading zeros; nothing when it is not a 32-bit hexadecimal number.
std::optional<uint32_t> ParseCrc32(std::string_view text);
