#pragma once
#include <sodium/crypto_hash_sha256.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Sha256Digest = std::array<uint8_t, 32>;

// SHA-256 of data given in pieces. Final() ends it: start a new object for the next digest.
class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  Sha256Digest Final();

 private:
  crypto_hash_sha256_state state_;
};

Sha256Digest Sha256Of(std::string_view bytes);

// 64 lowercase hexadecimal digits.
std::string Sha256Text(const Sha256Digest& digest);
