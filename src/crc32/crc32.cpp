#include "crc32/crc32.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <vector>

#include "crc32/crc32_paths.h"
#include "platform/files.h"

namespace crc32_paths {
namespace {

using Table = std::array<uint32_t, 256>;

constexpr std::array<Table, 8> MakeTables() {
  std::array<Table, 8> tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0u);
    tables[0][n] = c;
  }
  // Table k advances a byte that still has k zero bytes to pass through.
  for (size_t k = 1; k < 8; ++k) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = tables[k - 1][n];
      tables[k][n] = (c >> 8) ^ tables[0][c & 0xFF];
    }
  }
  return tables;
}

constexpr std::array<Table, 8> kTables = MakeTables();

uint32_t LoadLittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

uint32_t Bytewise(uint32_t reg, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) reg = kTables[0][(reg ^ data[i]) & 0xFF] ^ (reg >> 8);
  return reg;
}

uint32_t SliceBy8(uint32_t reg, const uint8_t* data, size_t size) {
  const auto& t = kTables;
  for (; size >= 8; data += 8, size -= 8) {
    uint32_t low = reg ^ LoadLittleEndian32(data);
    uint32_t high = LoadLittleEndian32(data + 4);
    reg = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  return Bytewise(reg, data, size);
}

}  // namespace crc32_paths

namespace {

crc32_paths::Path ChoosePath() {
  if (crc32_paths::Path wide = crc32_paths::WideFolding()) return wide;
  if (crc32_paths::Path folding = crc32_paths::Folding()) return folding;
  return crc32_paths::SliceBy8;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  static const crc32_paths::Path path = ChoosePath();
  return ~path(~crc, static_cast<const uint8_t*>(data), size);
}

uint32_t FileCRC32(const std::string& FileName) {
  uint32_t crc = 0;
  std::optional<platform::File> file;
  try {
    file.emplace(platform::File::OpenRead(FileName));
  } catch (const platform::SystemError&) {
    return crc;
  }
  // Larger blocks than the list tools use: fewer system calls, the same result.
  std::vector<uint8_t> block(262144);
  while (size_t got = file->Read(block.data(), block.size())) crc = Crc32(crc, block.data(), got);
  return crc;
}

std::string Crc32Text(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(crc));
  return text;
}

std::optional<uint32_t> ParseCrc32(std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}
