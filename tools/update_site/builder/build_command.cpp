#include <chrono>
#include <cstdio>

#include "common/size_format.h"
#include "update_site/arguments.h"
#include "update_site/builder/site_builder.h"
#include "update_site/commands.h"
#include "update_site/keys/signing_key_file.h"

namespace {

constexpr uint64_t kDefaultLifetimeDays = 28;
constexpr int64_t kSecondsPerDay = 86400;

std::optional<SigningOptions> SigningFrom(const Arguments& parsed) {
  std::optional<std::string> key_file = parsed.Last("signing-key");
  if (!key_file) {
    if (parsed.Last("expires-in")) throw UsageError("--expires-in needs --signing-key");
    return std::nullopt;
  }
  SigningOptions signing;
  signing.lifetime_seconds = static_cast<int64_t>(parsed.Number("expires-in", 1, 3650, kDefaultLifetimeDays)) * kSecondsPerDay;
  signing.key = ReadSigningKeyFile(*key_file);
  signing.now = UnixTimeNow();
  return signing;
}

void ReportStatement(const BuildReport& report, const Output& output) {
  if (report.statement) {
    output.out << "Signed " << StatementFileName << ": version " << report.statement->version << ", key "
               << report.statement->key_id << ", expires " << UtcTimeText(report.statement->expires)
               << " (build again before then to refresh it)\n";
  } else if (report.statement_withdrawn) {
    output.out << "Removed " << StatementFileName
               << ": this build is not signed, and a statement must not outlive the list it vouched for "
                  "(launchers built with a public key refuse this site until it is built with --signing-key)\n";
  }
}

void ReportDeltas(const DeltaReport& deltas, const Output& output) {
  if (!deltas.off.empty()) output.out << "No deltas: " << deltas.off << "\n";
  for (const std::string& problem : deltas.problems) output.out << "No delta for " << problem << "\n";
  if (deltas.made + deltas.kept + deltas.removed + deltas.not_smaller == 0) return;
  output.out << "Deltas in " << DeltaIndexFileName << ": " << deltas.made << " made ("
             << FormatSize(static_cast<int64_t>(deltas.bytes_written), '.') << "), " << deltas.kept
             << " kept from earlier builds, " << deltas.removed << " removed";
  if (deltas.not_smaller) {
    output.out << "; " << deltas.not_smaller << " changed file(s) got none, as it was not smaller than the package";
  }
  output.out << "\n";
}

}  // namespace

int RunBuild(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed =
      ParseArguments(args, {"exclude", "jobs", "signing-key", "expires-in", "delta-versions"},
                     {"no-default-excludes", "no-deltas"}, 2, 2);
  BuildOptions options;
  options.game_dir = parsed.positional[0];
  options.site_dir = parsed.positional[1];
  if (auto it = parsed.values.find("exclude"); it != parsed.values.end()) options.excludes = it->second;
  options.default_excludes = !parsed.flags.count("no-default-excludes");
  options.jobs = static_cast<unsigned>(parsed.Number("jobs", 1, 256, 0));
  options.signing = SigningFrom(parsed);
  options.deltas.enabled = !parsed.flags.count("no-deltas");
  if (!options.deltas.enabled && parsed.Last("delta-versions")) {
    throw UsageError("--delta-versions needs deltas: leave out --no-deltas");
  }
  options.deltas.max_versions = static_cast<unsigned>(parsed.Number("delta-versions", 1, 100, options.deltas.max_versions));

  const auto start = std::chrono::steady_clock::now();
  BuildReport report;
  try {
    report = BuildSite(options, output.out, output.terminal);
  } catch (const BuildRefused& refused) {
    for (const Refusal& refusal : refused.Refusals()) output.err << "refused: \"" << refusal.path << "\": " << refusal.reason << "\n";
    output.err << "update-site: nothing was written: " << refused.Refusals().size()
               << " file(s) the launcher could not take (leave them out with --exclude, or rename them)\n";
    return kExitProblems;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char time[32];
  std::snprintf(time, sizeof time, "%.2f s", seconds);
  output.out << "Listed " << report.files << " files in mu.update: " << report.compressed << " compressed ("
             << FormatSize(static_cast<int64_t>(report.bytes_written), '.') << " of packages), " << report.kept
             << " unchanged, " << report.removed << " removed, " << report.excluded << " excluded; " << time << "\n";
  ReportDeltas(report.deltas, output);
  ReportStatement(report, output);
  return kExitOk;
}
