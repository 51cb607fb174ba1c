#include <chrono>
#include <cstdio>

#include "update_site/arguments.h"
#include "update_site/commands.h"
#include "update_site/site_builder.h"
#include "updater/size_format.h"

int RunBuild(const std::vector<std::string>& args, const Output& output) {
  Arguments parsed = ParseArguments(args, {"exclude", "jobs"}, {"no-default-excludes"}, 2, 2);
  BuildOptions options;
  options.game_dir = parsed.positional[0];
  options.site_dir = parsed.positional[1];
  if (auto it = parsed.values.find("exclude"); it != parsed.values.end()) options.excludes = it->second;
  options.default_excludes = !parsed.flags.count("no-default-excludes");
  options.jobs = static_cast<unsigned>(parsed.Number("jobs", 1, 256, 0));

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
  return kExitOk;
}
