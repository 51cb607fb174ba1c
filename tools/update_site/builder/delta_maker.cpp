#include "update_site/builder/delta_maker.h"

#include <algorithm>

#include "bzip2/stream.h"
#include "common/scoped_removal.h"
#include "crc32/crc32.h"
#include "delta/delta_codec.h"
#include "platform/files.h"
#include "update_site/package_content.h"
#include "update_site/site_files.h"
#include "update_site/utf8_path.h"

namespace {

// libzstd's level 19 with a window over both contents: its match finders' tables take about
// 80 MiB whatever the files' sizes (measured for pairs of 4 and 16 MiB, beside the contents),
// and the long-distance matcher's grow with the window, to 40 MiB for the largest.
constexpr uint64_t kCompressorTables = uint64_t{128} << 20;

MadeDelta Problem(std::string what) {
  MadeDelta made;
  made.problem = std::move(what);
  return made;
}

// The game file's whole content when it is at most `limit` bytes.
std::optional<std::string> ReadContent(const std::string& path, uint64_t expected_size, uint64_t limit) {
  platform::File file = platform::File::OpenRead(path);
  std::string content;
  content.reserve(static_cast<size_t>(std::min(expected_size, limit)) + 1);
  char block[65536];
  while (size_t got = file.Read(block, sizeof block)) {
    if (content.size() + got > limit) return std::nullopt;
    content.append(block, got);
  }
  return content;
}

std::optional<std::string> PreviousContent(const DeltaPair& pair, uint64_t limit, std::string& problem) {
  try {
    TFileStream package(platform::File::OpenRead(pair.previous_package));
    return UnpackContent(package, limit, pair.previous_size);
  } catch (const std::exception& error) {
    problem = std::string("its previous package in the site cannot be unpacked (") + error.what() + ")";
    return std::nullopt;
  }
}

bool GivesBack(std::string_view previous, std::string_view delta, std::string_view content) {
  try {
    FileContent applied = ApplyDelta(previous, delta, content.size());
    return applied.view() == content;
  } catch (const DeltaError&) {
    return false;
  }
}

void WriteDelta(const std::string& path, std::string_view delta) {
  platform::CreateDirectories(Utf8(FsPath(path).parent_path()));
  platform::File file = platform::File::Create(path);
  file.Write(delta.data(), delta.size());
  file.Flush();
}

}  // namespace

uint64_t DeltaMemoryEstimate(uint64_t previous_size, uint64_t new_size) {
  // Both contents, the new one once more when the delta is applied to check it, and the tables.
  return previous_size + 2 * new_size + kCompressorTables;
}

MadeDelta MakeDeltaFile(const DeltaPair& pair, const std::filesystem::path& site, uint64_t size_limit) {
  std::string problem;
  std::optional<std::string> previous = PreviousContent(pair, size_limit, problem);
  if (!previous) return Problem(problem);  // an empty problem: too large for a delta
  if (Crc32(0, previous->data(), previous->size()) != pair.from_crc) {
    return Problem("its previous package in the site does not unpack to the CRC-32 " + Crc32Text(pair.from_crc) +
                   " that the previous list gives");
  }
  std::optional<std::string> content = ReadContent(pair.new_file, pair.new_size, size_limit);
  if (!content || Crc32(0, content->data(), content->size()) != pair.to_crc) {
    return Problem("it changed while the build read it (build again when it is finished)");
  }
  std::string delta;
  try {
    delta = MakeDelta(*previous, *content);
  } catch (const std::exception& error) {  // DeltaError or std::bad_alloc
    return Problem(std::string("the delta could not be made: ") + error.what());
  }
  MadeDelta made;
  if (delta.size() >= pair.package_size) {
    made.not_smaller = true;
    return made;
  }
  if (!GivesBack(*previous, delta, *content)) {
    return Problem("its delta did not give the new content back when applied: it is not published");
  }
  const DeltaEntry entry = {pair.list_path, pair.from_crc, pair.to_crc, static_cast<uint32_t>(delta.size()),
                            static_cast<uint32_t>(content->size()),
                            DeltaLocation(pair.list_path, pair.from_crc, pair.to_crc)};
  const std::string temporary = Utf8(site / FsPath(entry.location)) + kTemporarySuffix;
  ScopedRemoval cleanup(temporary);
  WriteDelta(temporary, delta);
  cleanup.Keep();
  made.entry = entry;
  made.temporary = temporary;
  made.sha256 = Sha256Of(delta);
  return made;
}
