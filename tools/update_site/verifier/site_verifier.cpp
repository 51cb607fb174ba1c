#include "update_site/verifier/site_verifier.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "bzip2/bz_stream.h"
#include "common/fixed_names.h"
#include "common/size_format.h"
#include "crc32/crc32.h"
#include "signing/sha256.h"
#include "update_list/list_entry.h"
#include "update_list/list_file.h"
#include "update_site/game_tree.h"
#include "update_site/verifier/delta_verifier.h"
#include "update_site/verifier/statement_verifier.h"
#include "update_site/work_pool.h"

namespace {

// Counts and hashes what the decompressor takes from the package.
class CountingStream : public TStream {
 public:
  explicit CountingStream(TStream& source) : source_(source) {}
  size_t Read(void* buffer, size_t count) override {
    size_t got = source_.Read(buffer, count);
    count_ += got;
    sha256_.Update(buffer, got);
    return got;
  }
  void Write(const void* data, size_t count) override { source_.Write(data, count); }
  int64_t Position() const override { return source_.Position(); }
  void Seek(int64_t position) override { source_.Seek(position); }
  int64_t Size() const override { return source_.Size(); }
  uint64_t Count() const { return count_; }
  Sha256Digest Sha256Final() { return sha256_.Final(); }

 private:
  TStream& source_;
  uint64_t count_ = 0;
  Sha256 sha256_;
};

struct Entry {
  std::string line;
  std::string path;
  std::optional<uint32_t> crc;
  std::optional<uint32_t> size;
  std::vector<std::string> problems;
  uint64_t package_bytes = 0;
  std::optional<Sha256Digest> package_sha256;  // once the package was read to its end
};

std::string Hex(uint32_t value) { return Crc32Text(value); }

// The decompressor's own error codes, as the launcher's stream reports them ("error -4").
std::string DamageText(const std::string& what) {
  int code = 0;
  if (std::sscanf(what.c_str(), "error %d", &code) == 1) {
    if (code == -5) return "not a bzip2 stream (no bzip2 header)";
    if (code == -4) return "damaged bzip2 data (error -4)";
  }
  return "bzip2 error (" + what + ")";
}

std::string StreamText(const std::string& what) {
  if (what.find("before its end mark") != std::string::npos) return "truncated: the bzip2 stream ends before its end mark";
  if (what.find("follows the end") != std::string::npos) return "bytes follow the end of the bzip2 stream";
  return "not one complete bzip2 stream (" + what + ")";
}

void CheckFields(Entry& entry) {
  std::optional<ListEntry> fields = SplitEntry(entry.line);
  if (!fields) {
    entry.path = entry.line;
    entry.problems.push_back("not an entry: it needs a path, a checksum and a size separated by \"|\"");
    return;
  }
  entry.path = fields->path;
  if (!IsSafeGamePath(entry.path)) entry.problems.push_back("the launcher refuses this path");
  entry.crc = ParseCrc32(fields->checksum);
  if (!entry.crc) {
    entry.problems.push_back("checksum \"" + fields->checksum + "\" is not a hexadecimal number");
  } else if (Hex(*entry.crc) != fields->checksum) {
    entry.problems.push_back("checksum written \"" + fields->checksum + "\", the launcher writes \"" + Hex(*entry.crc) +
                             "\": it compares the text, so the file would be fetched at every start");
  }
  entry.size = ParseEntrySize(fields->size);
  if (!entry.size) entry.problems.push_back("size \"" + fields->size + "\" is not a number from 0 to 2147483647");
}

// Unpacks the package once, front to back, counting its bytes and the content's checksum.
void CheckPackage(const SiteSource& site, Entry& entry) {
  std::string problem;
  std::unique_ptr<TStream> package = site.Open(PackagePathFor(entry.path), problem);
  if (!package) {
    entry.problems.push_back("package " + PackagePathFor(entry.path) + ": " + problem);
    return;
  }
  CountingStream counted(*package);
  uint32_t crc = 0;
  bool complete = false;
  try {
    TBZDecompressionStream unpacked(counted);
    std::vector<char> block(65536);
    while (size_t got = unpacked.Read(block.data(), block.size())) crc = Crc32(crc, block.data(), got);
    complete = true;
  } catch (const EBZCompressionError& error) {
    entry.problems.push_back(DamageText(error.what()));
  } catch (const EBZDecompressionError& error) {
    entry.problems.push_back(StreamText(error.what()));
  } catch (const std::exception& error) {
    entry.problems.push_back(std::string("cannot read the package: ") + error.what());
    return;
  }
  // Whatever stopped the unpacking, the package's size is all its bytes.
  uint64_t rest = 0;
  try {
    std::vector<char> block(65536);
    while (size_t got = counted.Read(block.data(), block.size())) rest += got;
  } catch (const std::exception& error) {
    entry.problems.push_back(std::string("cannot read the package: ") + error.what());
    return;
  }
  entry.package_bytes = counted.Count();
  entry.package_sha256 = counted.Sha256Final();
  if (entry.size && entry.package_bytes != *entry.size) {
    entry.problems.push_back("package is " + std::to_string(entry.package_bytes) + " bytes, the list says " +
                             std::to_string(*entry.size));
  }
  if (complete && entry.crc && crc != *entry.crc) {
    entry.problems.push_back("content's CRC-32 is " + Hex(crc) + ", the list says " + Hex(*entry.crc));
  }
}

void CheckDuplicates(std::vector<Entry>& entries) {
  std::map<std::string, std::string> first;
  for (Entry& entry : entries) {
    if (entry.path.empty()) continue;
    auto [it, fresh] = first.emplace(CaseFolded(entry.path), entry.path);
    if (!fresh) entry.problems.push_back("listed twice (as \"" + it->second + "\" before): on Windows one file");
    if (CaseFolded(entry.path) == CaseFolded(LauncherExeName) && entry.path != LauncherExeName) {
      entry.problems.push_back("the launcher replaces itself only for the exact name \"Launcher.exe\"");
    }
  }
}

std::optional<std::string> ReadList(const SiteSource& site, std::vector<SiteProblem>& problems) {
  std::string problem;
  std::optional<std::string> text = ReadSmallFile(site, ListFileName, kLargestListFile, problem);
  if (!text) problems.push_back({ListFileName, problem.find("larger") == 0 ? problem + ": not an update list" : problem});
  return text;
}

// The launcher tolerates a missing closing line; the list's format does not.
bool HasClosingLine(const std::string& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  LineSource source = LinesOf(text);
  for (std::string line; source(line);) {
    auto first = std::find_if_not(line.begin(), line.end(), blank);
    auto last = std::find_if_not(line.rbegin(), line.rend(), blank).base();
    if (first < last && std::string(first, last) == "[/Download]") return true;
  }
  return false;
}

}  // namespace

VerifyReport VerifySite(const SiteSource& site, unsigned jobs, const StatementOptions& statement,
                        const std::vector<EarlierSite>& previous) {
  VerifyReport report;
  std::optional<std::string> text = ReadList(site, report.problems);
  if (!text) return report;
  std::vector<std::string> lines = ReadSection(LinesOf(*text), "Download");
  if (lines.size() == 1 && lines[0] == "FAIL") {
    report.problems.push_back({ListFileName, "no entries: the list has no \"[Download]\" section, or it is empty"});
    return report;
  }
  if (!HasClosingLine(*text)) {
    report.problems.push_back({ListFileName, "the \"[Download]\" section has no closing line \"[/Download]\""});
  }

  std::vector<Entry> entries(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    entries[i].line = lines[i];
    CheckFields(entries[i]);
  }
  CheckDuplicates(entries);
  RunParallel(entries.size(), jobs ? jobs : DefaultJobs(), [&](size_t i) {
    // A path the launcher refuses is never fetched by it, and not by us either.
    if (!entries[i].path.empty() && IsSafeGamePath(entries[i].path)) CheckPackage(site, entries[i]);
  });
  report.entries = entries.size();
  std::vector<ListedPackage> packages;
  std::map<std::string, uint32_t> listed_crcs;
  for (const Entry& entry : entries) {
    report.package_bytes += entry.package_bytes;
    for (const std::string& problem : entry.problems) report.problems.push_back({entry.path, problem});
    if (!entry.path.empty()) packages.push_back({entry.path, entry.package_bytes, entry.package_sha256});
    if (!entry.path.empty() && entry.crc) listed_crcs.emplace(entry.path, *entry.crc);
  }
  const std::vector<ListedPackage> deltas = VerifyDeltas(site, listed_crcs, previous, jobs, report);
  VerifyStatement(site, *text, packages, deltas, statement, report);
  return report;
}

std::string FormatVerifyReport(const VerifyReport& report) {
  std::string text;
  if (!report.problems.empty()) {
    size_t width = 4;
    for (const SiteProblem& problem : report.problems) width = std::max(width, std::min<size_t>(problem.path.size(), 60));
    auto row = [&](const std::string& path, const std::string& problem) {
      text += path + std::string(width > path.size() ? width - path.size() : 0, ' ') + "  " + problem + "\n";
    };
    row("path", "problem");
    row(std::string(width, '-'), "-------");
    for (const SiteProblem& problem : report.problems) row(problem.path, problem.problem);
    text += "\n";
  }
  for (const std::string& note : report.notes) text += note + "\n";
  text += std::to_string(report.entries) + " entries, " + FormatSize(static_cast<int64_t>(report.package_bytes), '.') +
          " of packages";
  if (report.deltas) {
    text += ", " + std::to_string(report.deltas) + " deltas (" + FormatSize(static_cast<int64_t>(report.delta_bytes), '.') +
            ", " + std::to_string(report.deltas_applied) + " applied)";
  }
  text += " checked: ";
  text += report.problems.empty() ? std::string("no problems") : std::to_string(report.problems.size()) + " problem(s)";
  return text + "\n";
}
