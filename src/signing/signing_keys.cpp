#include "signing/signing_keys.h"

#include <sodium/crypto_sign.h>
#include <sodium/utils.h>

#include "signing/hex_text.h"
#include "signing/sodium_ready.h"

namespace {

constexpr std::string_view kPublicKeyPrefix = "ed25519:";
constexpr std::string_view kSecretKeyHeader = "launcher-secret-key 1\n";

static_assert(sizeof(PublicKey::bytes) == crypto_sign_PUBLICKEYBYTES);
static_assert(sizeof(SecretKey::bytes) == crypto_sign_SECRETKEYBYTES);

}  // namespace

SecretKey::~SecretKey() { sodium_memzero(bytes.data(), bytes.size()); }

std::optional<PublicKey> ParsePublicKey(std::string_view text) {
  if (text.substr(0, kPublicKeyPrefix.size()) != kPublicKeyPrefix) return std::nullopt;
  PublicKey key;
  if (!ParseHexText(text.substr(kPublicKeyPrefix.size()), key.bytes)) return std::nullopt;
  return key;
}

std::string PublicKeyText(const PublicKey& key) { return std::string(kPublicKeyPrefix) + HexText(key.bytes); }

std::string KeyId(const PublicKey& key) { return HexText(std::span(key.bytes).first<8>()); }

SecretKey GenerateSecretKey() {
  EnsureSodiumReady();
  PublicKey ignored;
  SecretKey key;
  crypto_sign_keypair(ignored.bytes.data(), key.bytes.data());
  return key;
}

PublicKey PublicKeyOf(const SecretKey& key) {
  EnsureSodiumReady();
  PublicKey public_key;
  crypto_sign_ed25519_sk_to_pk(public_key.bytes.data(), key.bytes.data());
  return public_key;
}

std::string SecretKeyFileText(const SecretKey& key) {
  return std::string(kSecretKeyHeader) + HexText(key.bytes) + "\n";
}

std::optional<SecretKey> ParseSecretKeyFile(std::string_view text) {
  const size_t digits = 2 * sizeof(SecretKey::bytes);
  if (text.size() != kSecretKeyHeader.size() + digits + 1 || text.substr(0, kSecretKeyHeader.size()) != kSecretKeyHeader ||
      text.back() != '\n') {
    return std::nullopt;
  }
  SecretKey key;
  if (!ParseHexText(text.substr(kSecretKeyHeader.size(), digits), key.bytes)) return std::nullopt;
  EnsureSodiumReady();
  unsigned char seed[crypto_sign_SEEDBYTES];
  PublicKey derived;
  SecretKey rebuilt;
  crypto_sign_ed25519_sk_to_seed(seed, key.bytes.data());
  crypto_sign_seed_keypair(derived.bytes.data(), rebuilt.bytes.data(), seed);
  sodium_memzero(seed, sizeof seed);
  if (derived != PublicKeyOf(key)) return std::nullopt;
  return key;
}
