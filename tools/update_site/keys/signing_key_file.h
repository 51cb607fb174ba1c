#pragma once
#include <string>

#include "signing/signing_keys.h"

// The secret key file that `update-site keygen` writes and `build --signing-key` reads. The key
// never passes through the tool's output, and no copy of it outlives its use in memory.

// Makes a new key pair and writes the secret key to a new private file (see CreatePrivateFile;
// raises FileExists when the path exists). Returns the public key.
PublicKey CreateSigningKeyFile(const std::string& path);

// Raises std::runtime_error saying what is wrong when the file cannot be read or holds no key.
SecretKey ReadSigningKeyFile(const std::string& path);
