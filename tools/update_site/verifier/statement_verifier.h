#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "signing/sha256.h"
#include "update_site/verifier/site_source.h"
#include "update_site/verifier/site_verifier.h"

// A listed package, or the index of deltas or a delta, as `verify` found it.
struct ListedPackage {
  std::string path;                    // as the list names it, in UTF-8; the location of a delta
  uint64_t size = 0;                   // bytes read of the package
  std::optional<Sha256Digest> sha256;  // none when it could not be read to its end
};

// Checks the site's signed statement against the list's exact bytes, the packages, and the
// index of deltas and the deltas (by their locations: `deltas`), and its signature with the
// options' keys; adds what is wrong to the report's problems and what was (not) checked to its
// notes. Missing is a problem only when keys are given.
void VerifyStatement(const SiteSource& site, std::string_view list_bytes, const std::vector<ListedPackage>& packages,
                     const std::vector<ListedPackage>& deltas, const StatementOptions& options, VerifyReport& report);
