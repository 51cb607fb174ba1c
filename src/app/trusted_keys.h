#pragma once
#include <string_view>
#include <vector>

#include "signing/signing_keys.h"

// The public keys a launcher is built to trust, as its build writes them: "ed25519:..." texts
// separated by "," or ";". Empty text, no keys: update lists are taken unsigned. Raises
// std::invalid_argument for a text that is not such a list, so that a launcher never runs
// with fewer keys than its operator gave it.
std::vector<PublicKey> ParseTrustedKeys(std::string_view text);
