#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/verifier/site_verifier.h"

int RunVerify(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed = ParseArguments(args, {"jobs", "public-key", "previous"}, {}, 1, 1);
  StatementOptions statement;
  if (auto it = parsed.values.find("public-key"); it != parsed.values.end()) {
    for (const std::string& text : it->second) {
      std::optional<PublicKey> key = ParsePublicKey(text);
      if (!key) throw UsageError("--public-key takes \"ed25519:\" and 64 lowercase hexadecimal digits, as keygen prints it, not \"" + text + "\"");
      statement.trusted.push_back(*key);
    }
  }
  std::unique_ptr<SiteSource> site = OpenSite(parsed.positional[0]);
  std::vector<std::unique_ptr<SiteSource>> earlier_sources;
  std::vector<EarlierSite> earlier;
  if (auto it = parsed.values.find("previous"); it != parsed.values.end()) {
    for (const std::string& where : it->second) {
      earlier_sources.push_back(OpenSite(where));
      earlier.push_back({where, earlier_sources.back().get()});
    }
  }
  VerifyReport report =
      VerifySite(*site, static_cast<unsigned>(parsed.Number("jobs", 1, 256, 0)), statement, earlier);
  output.out << FormatVerifyReport(report);
  return report.problems.empty() ? kExitOk : kExitProblems;
}
