#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/site_verifier.h"

int RunVerify(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed = ParseArguments(args, {"jobs"}, {}, 1, 1);
  std::unique_ptr<SiteSource> site = OpenSite(parsed.positional[0]);
  VerifyReport report = VerifySite(*site, static_cast<unsigned>(parsed.Number("jobs", 1, 256, 0)));
  output.out << FormatVerifyReport(report);
  return report.problems.empty() ? kExitOk : kExitProblems;
}
