#include "update_site/verifier/statement_verifier.h"

#include <set>

#include "delta/delta_index.h"
#include "signing/signed_statement.h"
#include "update_site/site_statement.h"

namespace {

// A statement names a few hundred packages in a few hundred bytes each.
constexpr size_t kLargestStatement = 64u << 20;
constexpr int64_t kSecondsPerDay = 86400;
// Less time than that left: the operator is reminded to build again.
constexpr int64_t kRefreshWarning = 7 * kSecondsPerDay;

constexpr const char* kRefreshHint = ": build again with --signing-key to publish a new one";

std::optional<SignedStatement> ReadSiteStatement(const SiteSource& site, const StatementOptions& options,
                                                 VerifyReport& report) {
  std::string problem;
  std::optional<std::string> bytes = ReadSmallFile(site, StatementFileName, kLargestStatement, problem);
  if (!bytes) {
    if (problem.rfind("missing", 0) != 0) {
      report.problems.push_back({StatementFileName, problem});
    } else if (options.trusted.empty()) {
      report.notes.push_back(std::string("Not signed: the site has no ") + StatementFileName + ".");
    } else {
      report.problems.push_back({StatementFileName, problem + ": launchers built with a public key refuse this site"});
    }
    return std::nullopt;
  }
  StatementCheck check = options.trusted.empty() ? ReadStatementUnverified(*bytes) : ReadStatement(*bytes, options.trusted);
  if (check.fault != StatementFault::None) {
    report.problems.push_back({StatementFileName, check.reason});
    return std::nullopt;
  }
  std::string note = std::string(StatementFileName) + ": version " + std::to_string(check.statement->version) +
                     ", key " + check.key_id + ", expires " + UtcTimeText(check.statement->expires) + "; ";
  note += options.trusted.empty() ? "the signature was NOT checked (give --public-key to check it)"
                                  : "the signature was checked";
  report.notes.push_back(note + ".");
  return check.statement;
}

void CheckTimeAndList(const SignedStatement& statement, std::string_view list_bytes, int64_t now, VerifyReport& report) {
  if (now >= statement.expires) {
    report.problems.push_back({StatementFileName, "expired at " + UtcTimeText(statement.expires) + kRefreshHint});
  } else if (statement.expires - now < kRefreshWarning) {
    report.notes.push_back("It expires in less than " + std::to_string(kRefreshWarning / kSecondsPerDay) + " days" +
                           kRefreshHint + ".");
  }
  if (Sha256Of(list_bytes) != statement.list_sha256) {
    report.problems.push_back({StatementFileName, std::string("does not match the list: the list changed after signing") +
                                                      kRefreshHint});
  }
}

// `noun` names what the file is in a problem: "package", "delta", "index".
void CheckFile(const SignedStatement& statement, const ListedPackage& file, const std::string& noun, VerifyReport& report) {
  auto signed_digest = statement.packages.find(file.path);
  if (signed_digest == statement.packages.end()) {
    report.problems.push_back({file.path, "not in the signed statement"});
  } else if (!file.sha256) {
    return;  // the file's own problem is reported already
  } else if (file.size != signed_digest->second.size) {
    report.problems.push_back({file.path, noun + " is " + std::to_string(file.size) + " bytes, the signed statement says " +
                                              std::to_string(signed_digest->second.size)});
  } else if (*file.sha256 != signed_digest->second.sha256) {
    report.problems.push_back({file.path, noun + "'s SHA-256 is not the one the signed statement gives"});
  }
}

void CheckPackages(const SignedStatement& statement, const std::vector<ListedPackage>& packages,
                   const std::vector<ListedPackage>& deltas, VerifyReport& report) {
  std::set<std::string> published;
  for (const ListedPackage& package : packages) {
    published.insert(package.path);
    CheckFile(statement, package, "package", report);
  }
  for (const ListedPackage& delta : deltas) {
    published.insert(delta.path);
    CheckFile(statement, delta, delta.path == DeltaIndexFileName ? "index" : "delta", report);
  }
  for (const auto& [path, digest] : statement.packages) {
    if (!published.count(path)) {
      report.problems.push_back({StatementFileName, "vouches for \"" + path + "\", which neither the list nor the index of deltas names"});
    }
  }
}

}  // namespace

void VerifyStatement(const SiteSource& site, std::string_view list_bytes, const std::vector<ListedPackage>& packages,
                     const std::vector<ListedPackage>& deltas, const StatementOptions& options, VerifyReport& report) {
  std::optional<SignedStatement> statement = ReadSiteStatement(site, options, report);
  if (!statement) return;
  CheckTimeAndList(*statement, list_bytes, options.now.value_or(UnixTimeNow()), report);
  CheckPackages(*statement, packages, deltas, report);
}
