#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Ed25519 keys of the signed update statements (libsodium's crypto_sign).

struct PublicKey {
  std::array<uint8_t, 32> bytes{};
  bool operator==(const PublicKey&) const = default;
};

// libsodium's 64-byte form: the 32-byte seed followed by the public key. Wiped when it goes.
struct SecretKey {
  std::array<uint8_t, 64> bytes{};
  SecretKey() = default;
  SecretKey(const SecretKey&) = default;
  SecretKey& operator=(const SecretKey&) = default;
  ~SecretKey();
};

// "ed25519:" followed by the key's 32 bytes as 64 lowercase hexadecimal digits, nothing around it.
std::optional<PublicKey> ParsePublicKey(std::string_view text);
std::string PublicKeyText(const PublicKey& key);
// How a statement names the key that signed it: its first 8 bytes as 16 lowercase hexadecimal
// digits.
std::string KeyId(const PublicKey& key);

SecretKey GenerateSecretKey();
PublicKey PublicKeyOf(const SecretKey& key);

// The secret key file: "launcher-secret-key 1\n", the 64 bytes as 128 lowercase hexadecimal
// digits, "\n". Reading refuses anything else, and a key whose public half does not belong to its
// seed (a damaged file would otherwise sign statements nobody can check).
std::string SecretKeyFileText(const SecretKey& key);
std::optional<SecretKey> ParseSecretKeyFile(std::string_view text);
