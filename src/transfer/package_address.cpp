#include "transfer/package_address.h"

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

std::string EncodeAddressPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size() * 3);
  for (unsigned char c : path) {
    if (c == '\\' || c == '/') {
      encoded += '/';
    } else if (IsUnreserved(c)) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

std::string PackageAddress(const std::string& update_url, std::string_view path) {
  return update_url + EncodeAddressPath(path) + ".rar";
}
