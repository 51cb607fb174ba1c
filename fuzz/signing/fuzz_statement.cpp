// The signed statement reader on arbitrary bytes. Whatever it is given, it refuses with a reason
// or gives a statement that writes back to bytes it reads the same way; it agrees with itself
// whether the signature is checked or not, and the version reader agrees with both. The seed
// corpus is signed with the key below, so that accepted statements are explored too.
#include <sodium/crypto_sign.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "signing/signed_statement.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

struct FuzzKey {
  SecretKey secret;
  PublicKey public_key;
  FuzzKey() {
    // A fixed seed (bytes 0, 1, 2, ... 31): the corpus can be signed with it ahead of time.
    unsigned char seed[crypto_sign_SEEDBYTES];
    for (size_t i = 0; i < sizeof seed; ++i) seed[i] = static_cast<unsigned char>(i);
    crypto_sign_seed_keypair(public_key.bytes.data(), secret.bytes.data(), seed);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzKey key;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const StatementCheck unverified = ReadStatementUnverified(bytes);
  const StatementCheck checked = ReadStatement(bytes, {key.public_key});
  Require((unverified.fault == StatementFault::None) == unverified.reason.empty());
  Require((checked.fault == StatementFault::None) == checked.statement.has_value());
  if (unverified.fault == StatementFault::Malformed) {
    Require(checked.fault == StatementFault::Malformed && checked.reason == unverified.reason);
    return 0;
  }
  Require(unverified.statement && checked.fault != StatementFault::Malformed);
  Require(checked.key_id == unverified.key_id);
  if (checked.statement) Require(*checked.statement == *unverified.statement);
  Require(ReadStatementVersion(bytes) == unverified.statement->version);

  const std::string rewritten = WriteStatement(*unverified.statement, key.secret);
  const StatementCheck again = ReadStatement(rewritten, {key.public_key});
  Require(again.fault == StatementFault::None && *again.statement == *unverified.statement);
  return 0;
}
