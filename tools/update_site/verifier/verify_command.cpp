#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/verifier/site_verifier.h"

int RunVerify(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed = ParseArguments(args, {"jobs", "public-key"}, {}, 1, 1);
  StatementOptions statement;
  if (auto it = parsed.values.find("public-key"); it != parsed.values.end()) {
    for (const std::string& text : it->second) {
      std::optional<PublicKey> key = ParsePublicKey(text);
      if (!key) throw UsageError("--public-key takes \"ed25519:\" and 64 lowercase hexadecimal digits, as keygen prints it, not \"" + text + "\"");
      statement.trusted.push_back(*key);
    }
  }
  std::unique_ptr<SiteSource> site = OpenSite(parsed.positional[0]);
  VerifyReport report = VerifySite(*site, static_cast<unsigned>(parsed.Number("jobs", 1, 256, 0)), statement);
  output.out << FormatVerifyReport(report);
  return report.problems.empty() ? kExitOk : kExitProblems;
}
