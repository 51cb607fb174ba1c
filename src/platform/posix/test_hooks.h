#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What native tests may ask of the POSIX stand-ins.
namespace platform::posix_debug {
// The debugger lines written so far, and forgets them.
std::vector<std::string> TakeLines();
}  // namespace platform::posix_debug

namespace platform::posix_system {
// The message boxes shown so far ("title: text"), and forgets them.
std::vector<std::string> TakeMessageBoxes();
// The command lines RunCommandLine was given, and forgets them.
std::vector<std::string> TakeCommandLines();
}  // namespace platform::posix_system

namespace platform::posix_files {
// From now on every file lies on a disk with this many bytes free: a write that grows a file
// takes from them, and one that finds too few writes what fits and fails with ENOSPC, as on a
// full disk; a file truncated by File::Create, removed by RemoveFile or replaced by
// ReplaceFileAtomic gives its bytes back, and FreeSpaceOf reports what is left. Nothing: the
// real disks again. Files written other than through platform::File take nothing.
void SimulateFreeSpace(std::optional<uint64_t> free_bytes);
}  // namespace platform::posix_files
