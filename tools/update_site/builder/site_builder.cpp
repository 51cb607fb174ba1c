#include "update_site/builder/site_builder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>

#include "common/fixed_names.h"
#include "platform/files.h"
#include "update_site/builder/build_progress.h"
#include "update_site/builder/package_writer.h"
#include "update_site/builder/update_list.h"
#include "update_site/site_files.h"
#include "update_site/site_manifest.h"
#include "update_site/utf8_path.h"
#include "update_site/work_pool.h"

namespace fs = std::filesystem;

namespace {

// What a build must do for one file. HashPackage keeps the package but reads it for the SHA-256
// a signed build needs and the manifest of an older build does not hold.
enum class Work { Keep, HashPackage, CheckCrc, Compress };

struct Task {
  const GameFile* file = nullptr;
  Work work = Work::Compress;
  std::optional<CachedPackage> cached;
  // Filled by the worker.
  CachedPackage result;
  std::string temporary;  // a new package waiting to be put in place
  bool compressed = false;
};

std::string PackageFile(const fs::path& site, const GameFile& file) {
  return Utf8(site / FsPath(PackagePathFor(file.list_path)));
}

bool SamePackageStillThere(const fs::path& site, const GameFile& file, const CachedPackage& cached) {
  std::error_code error;
  uint64_t size = fs::file_size(FsPath(PackageFile(site, file)), error);
  return !error && size == cached.package_size;
}

Task Plan(const fs::path& site, const GameFile& file, const SiteManifest& manifest, bool need_digests) {
  Task task;
  task.file = &file;
  auto it = manifest.find(file.source);
  if (it == manifest.end() || it->second.size != file.size || !SamePackageStillThere(site, file, it->second)) {
    return task;
  }
  task.cached = it->second;
  // A new modification time alone does not prove new content (a copy, a touch): the checksum
  // decides, and reading is far cheaper than compressing.
  task.work = (it->second.mtime == file.mtime) ? Work::Keep : Work::CheckCrc;
  if (task.work == Work::Keep) {
    task.result = it->second;
    if (need_digests && !it->second.package_sha256) task.work = Work::HashPackage;
  }
  return task;
}

void Run(Task& task, const fs::path& game, const fs::path& site, BuildProgress& progress, unsigned threads) {
  const GameFile& file = *task.file;
  const std::string source = Utf8(game / FsPath(file.source));
  auto read = [&](uint64_t bytes) { progress.Read(bytes); };
  if (task.work == Work::HashPackage) {
    task.result.package_sha256 = PackageSha256(PackageFile(site, file));
    progress.Read(task.result.package_size);
    progress.FileDone(file.list_path, "unchanged");
    return;
  }
  if (task.work == Work::CheckCrc) {
    uint32_t crc = ContentCrc(source, read);
    if (crc == task.cached->crc) {
      task.result = *task.cached;
      if (!task.result.package_sha256) task.result.package_sha256 = PackageSha256(PackageFile(site, file));
      progress.FileDone(file.list_path, "unchanged");
      return;
    }
  }
  const std::string package = PackageFile(site, file);
  platform::CreateDirectories(Utf8(FsPath(package).parent_path()));
  task.temporary = package + kTemporarySuffix;
  PackedFile packed = WritePackage(source, task.temporary, read, threads);
  task.result.crc = packed.crc;
  task.result.package_size = packed.package_size;
  task.result.package_sha256 = packed.package_sha256;
  task.compressed = true;
  progress.FileDone(file.list_path, "compressed");
}

// Removes the new packages that were not put in place, whatever ended the build.
class PendingPackages {
 public:
  explicit PendingPackages(std::vector<Task>& tasks) : tasks_(tasks) {}
  ~PendingPackages() {
    for (Task& task : tasks_) {
      if (!task.temporary.empty()) platform::RemoveFile(task.temporary);
    }
  }
  PendingPackages(const PendingPackages&) = delete;
  PendingPackages& operator=(const PendingPackages&) = delete;

  void PutInPlace(const fs::path& site) {
    for (Task& task : tasks_) {
      if (task.temporary.empty()) continue;
      const std::string package = PackageFile(site, *task.file);
      if (!platform::ReplaceFileAtomic(task.temporary, package)) {
        throw platform::SystemError("Cannot put \"" + package + "\" in place", 0);
      }
      task.temporary.clear();
    }
  }

 private:
  std::vector<Task>& tasks_;
};

// A temporary file of an interrupted build is never listed, so it can only be a leftover.
void RemoveLeftovers(const fs::path& site) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(site, error), end; !error && it != end; it.increment(error)) {
    const std::string name = Utf8(it->path().filename());
    const std::string_view suffix = kTemporarySuffix;
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      platform::RemoveFile(Utf8(it->path()));
    }
  }
}

// Removes the packages the old manifest knew and the new list does not name, and the folders
// that leaves empty. On a file system that ignores letter case, a package whose name changed
// only in case is the new package itself and stays.
size_t RemoveStalePackages(const fs::path& site, const SiteManifest& old_manifest, const std::vector<GameFile>& files) {
  std::vector<std::string> current;
  for (const GameFile& file : files) current.push_back(CaseFolded(PackagePathFor(file.list_path)));
  std::sort(current.begin(), current.end());
  size_t removed = 0;
  for (const auto& [source, cached] : old_manifest) {
    const std::string package = PackagePathFor(ListPathFor(source));
    if (std::binary_search(current.begin(), current.end(), CaseFolded(package))) continue;
    fs::path path = site / FsPath(package);
    if (!platform::RemoveFile(Utf8(path))) continue;
    ++removed;
    std::error_code error;
    for (fs::path folder = path.parent_path(); folder != site && fs::is_empty(folder, error) && !error;
         folder = folder.parent_path()) {
      fs::remove(folder, error);
    }
  }
  return removed;
}

bool Inside(const fs::path& inner, const fs::path& outer) {
  auto [o, i] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
  return o == outer.end();
}

// A file with a chunk for every thread keeps them all busy by itself.
bool RunsOnAllThreads(const Task& task, unsigned threads) {
  return threads > 1 && task.work != Work::HashPackage && ChunkCount(task.file->size) >= threads;
}

// Compresses what changed, largest first, so that no large file is left to run alone at the end:
// the files large enough for all threads one after another, then the others side by side, one
// thread each.
void RunChangedTasks(std::vector<Task>& tasks, const fs::path& game, const fs::path& site, const BuildOptions& options,
                     std::ostream& progress_out, bool terminal) {
  std::vector<Task*> work;
  uint64_t work_bytes = 0;
  for (Task& task : tasks) {
    if (task.work == Work::Keep) continue;
    work.push_back(&task);
    work_bytes += task.work == Work::HashPackage ? task.result.package_size : task.file->size;
  }
  std::stable_sort(work.begin(), work.end(), [](const Task* a, const Task* b) { return a->file->size > b->file->size; });
  const unsigned threads = options.jobs ? options.jobs : DefaultJobs();
  auto side_by_side = std::stable_partition(work.begin(), work.end(), [&](const Task* task) { return RunsOnAllThreads(*task, threads); });
  BuildProgress progress(progress_out, terminal, work.size(), work_bytes);
  try {
    for (auto it = work.begin(); it != side_by_side; ++it) Run(**it, game, site, progress, threads);
    RunParallel(static_cast<size_t>(work.end() - side_by_side), threads,
                [&](size_t i) { Run(*side_by_side[static_cast<ptrdiff_t>(i)], game, site, progress, 1); });
  } catch (...) {
    progress.Finish();
    throw;
  }
  progress.Finish();
}

// The listed files' packages, beside the index and the deltas (by location, so never by a
// list path: those hold "\" between folders, locations "/" and at least one folder).
std::map<std::string, PackageDigest> PackageDigests(const std::vector<Task>& tasks,
                                                    std::map<std::string, PackageDigest> digests) {
  for (const Task& task : tasks) {
    if (!task.result.package_sha256) throw std::logic_error("no SHA-256 for \"" + task.file->list_path + "\"");
    digests[task.file->list_path] = {*task.result.package_sha256, static_cast<uint32_t>(task.result.package_size)};
  }
  return digests;
}

// What the new list will name, for choosing the deltas that lead to it.
std::map<std::string, ListedVersion> ListedVersions(const std::vector<Task>& tasks) {
  std::map<std::string, ListedVersion> listed;
  for (const Task& task : tasks) listed[task.file->list_path] = {task.result.crc, task.result.package_size};
  return listed;
}

std::vector<RepackedFile> Repacked(const std::vector<Task>& tasks) {
  std::vector<RepackedFile> repacked;
  for (const Task& task : tasks) {
    if (task.compressed) repacked.push_back({task.file, task.result.crc, task.result.package_size});
  }
  return repacked;
}

// The statement, the list and the manifest of the finished tasks; the report's counts. The
// statement goes first for the same reason as the packages: a launcher that fetches the new list
// finds what vouches for it. `delta_digests` are the index's and the deltas' for the statement.
void Publish(const std::vector<Task>& tasks, const fs::path& site, fs::file_time_type::clock::time_point build_start,
             const std::optional<SigningOptions>& signing, std::map<std::string, PackageDigest> delta_digests,
             BuildReport& report) {
  // A file changed moments before the build may change again within the same clock tick
  // without its time moving: its checksum is checked again next time.
  const int64_t recent = (build_start - std::chrono::seconds(2)).time_since_epoch().count();
  std::vector<ListLine> lines;
  SiteManifest manifest;
  for (const Task& task : tasks) {
    lines.push_back({task.file->list_path, task.result.crc, task.result.package_size});
    CachedPackage cached = task.result;
    cached.size = task.file->size;
    cached.mtime = task.file->mtime;
    if (task.file->mtime >= recent) cached.mtime.reset();
    manifest.emplace(task.file->source, cached);
    if (task.work == Work::CheckCrc || task.work == Work::Compress) report.bytes_read += task.file->size;
    if (task.compressed) {
      ++report.compressed;
      report.bytes_written += task.result.package_size;
    } else {
      ++report.kept;
    }
  }
  const std::string list = FormatUpdateList(std::move(lines));
  if (signing) report.statement = PublishStatement(site, list, PackageDigests(tasks, std::move(delta_digests)), *signing);
  ReplaceFileContent(Utf8(site / ListFileName), list);
  WriteManifest(site, manifest);
  // Only now: had the list failed, the old statement would still vouch for the old list.
  if (!signing) report.statement_withdrawn = WithdrawStatement(site);
}

}  // namespace

BuildReport BuildSite(const BuildOptions& options, std::ostream& progress_out, bool terminal) {
  const fs::path game = fs::weakly_canonical(FsPath(options.game_dir));
  const fs::path site = fs::weakly_canonical(FsPath(options.site_dir));
  if (!fs::is_directory(game)) throw std::runtime_error("\"" + options.game_dir + "\" is not a folder");
  if (Inside(game, site)) {
    throw std::runtime_error("the site folder \"" + options.site_dir + "\" must not hold the game folder");
  }
  const auto build_start = fs::file_time_type::clock::now();

  std::vector<std::string> patterns = options.default_excludes ? Exclusions::Defaults() : std::vector<std::string>{};
  patterns.insert(patterns.end(), options.excludes.begin(), options.excludes.end());
  GameTree tree = ScanGameFolder(game, Exclusions(patterns), Inside(site, game) ? std::optional(site) : std::nullopt);
  if (!tree.refusals.empty()) throw BuildRefused(std::move(tree.refusals));

  if (!platform::CreateDirectories(Utf8(site))) throw std::runtime_error("cannot create \"" + options.site_dir + "\"");
  RemoveLeftovers(site);
  const SiteManifest old_manifest = ReadManifest(site);
  std::vector<Task> tasks;
  for (const GameFile& file : tree.files) tasks.push_back(Plan(site, file, old_manifest, options.signing.has_value()));

  SiteDeltas deltas(site, options.deltas, tree.files);
  PendingPackages pending(tasks);
  RunChangedTasks(tasks, game, site, options, progress_out, terminal);
  // Before the new packages take the place of those that hold the previous contents.
  deltas.Make(Repacked(tasks), game, old_manifest, options.jobs ? options.jobs : DefaultJobs(), progress_out, terminal);
  // The packages and deltas first, the list last: a launcher that fetches the new list finds
  // everything it names, and everything the index names, in place.
  pending.PutInPlace(site);
  deltas.PutInPlace();
  BuildReport report;
  Publish(tasks, site, build_start, options.signing, deltas.Publish(ListedVersions(tasks), options.signing.has_value()),
          report);
  report.removed = RemoveStalePackages(site, old_manifest, tree.files);
  deltas.RemoveDropped();
  report.deltas = deltas.Report();
  report.files = tasks.size();
  report.excluded = tree.excluded;
  return report;
}
