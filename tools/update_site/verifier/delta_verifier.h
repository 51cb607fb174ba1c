#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "update_site/verifier/site_source.h"
#include "update_site/verifier/site_verifier.h"
#include "update_site/verifier/statement_verifier.h"

// Checks the index "mu.update.deltas" of a site, when it has one, and every delta it names: the
// file it belongs to is listed and a chain through it reaches the listed content; the delta is
// there, has the index's size, and is exactly one zstd frame that gives the index's result size.
// A delta whose starting content is at hand is applied and must give the CRC-32 it claims: the
// contents at hand are those of the site's packages, of the packages of `previous` sites (copies
// of earlier builds) whose lists name that file with that CRC, and those given by deltas
// already applied, so that one earlier build lets a whole chain be checked.
// Adds what is wrong to the report's problems (by the delta's location), its counts, and a
// note when some deltas could not be applied. Gives the index and the deltas as read, for the
// statement's check.
std::vector<ListedPackage> VerifyDeltas(const SiteSource& site, const std::map<std::string, uint32_t>& listed_crcs,
                                        const std::vector<EarlierSite>& previous, unsigned jobs,
                                        VerifyReport& report);
