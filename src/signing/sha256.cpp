#include "signing/sha256.h"

#include "signing/hex_text.h"
#include "signing/sodium_ready.h"

Sha256::Sha256() {
  EnsureSodiumReady();
  crypto_hash_sha256_init(&state_);
}

void Sha256::Update(const void* data, size_t size) {
  crypto_hash_sha256_update(&state_, static_cast<const unsigned char*>(data), size);
}

Sha256Digest Sha256::Final() {
  Sha256Digest digest;
  crypto_hash_sha256_final(&state_, digest.data());
  return digest;
}

Sha256Digest Sha256Of(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.Final();
}

std::string Sha256Text(const Sha256Digest& digest) { return HexText(digest); }
