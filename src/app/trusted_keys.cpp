#include "app/trusted_keys.h"

#include <stdexcept>
#include <string>

std::vector<PublicKey> ParseTrustedKeys(std::string_view text) {
  std::vector<PublicKey> keys;
  while (!text.empty()) {
    const size_t cut = text.find_first_of(",;");
    const std::string_view piece = text.substr(0, cut);
    std::optional<PublicKey> key = ParsePublicKey(piece);
    if (!key) throw std::invalid_argument("not a public key: \"" + std::string(piece) + "\"");
    keys.push_back(*key);
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
    if (text.empty()) throw std::invalid_argument("a key list ends with a separator");
  }
  return keys;
}
