#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/errors.h"

// Files by path. Paths are UTF-8 and may use "\" between directories as the launcher writes
// them; the POSIX stand-in reads "\" as "/". Relative paths are relative to the working
// directory.
namespace platform {

// True for an existing regular file; a directory of that name does not count.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Deletes a file; false when it could not be deleted (missing, in use, access denied).
bool RemoveFile(const std::string& path);
// Renames or moves a file; fails, changing nothing, when `to` exists or `from` does not.
bool RenameFile(const std::string& from, const std::string& to);
// Puts `from` in place of `to` in one step, replacing an existing file: someone who looks at
// `to` at any moment sees either the old file or the whole new one. False when it failed, and
// then `to` is unchanged.
bool ReplaceFileAtomic(const std::string& from, const std::string& to);
// Creates the directory and every missing parent; true when the directory exists afterwards.
bool CreateDirectories(const std::string& path);
// Removes a directory only when it is empty; false otherwise.
bool RemoveEmptyDirectory(const std::string& path);
// The bytes this user may still write on the disk that holds the folder; nothing when the
// system cannot tell.
std::optional<uint64_t> FreeSpaceOf(const std::string& folder);

// The working directory, without a trailing separator.
std::string WorkingDirectory();
// The full path of the running executable.
std::string ExecutablePath();
// The folder of the running executable, with its trailing separator.
std::string ExecutableFolder();

// An open file. Move-only; closed by its destructor. Errors raise SystemError.
class File {
 public:
  // Opens for reading; others may read it but not write it. Raises when it cannot be opened.
  static File OpenRead(const std::string& path);
  // Replaces an existing file with an empty one, or creates it; opened for writing and for
  // reading back what was written, unshared.
  static File Create(const std::string& path);
  // Opens for appending at its end, creating the file when it is missing.
  static File OpenAppend(const std::string& path);

  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  ~File();

  // Reads up to size bytes; 0 at the end of the file.
  size_t Read(void* buffer, size_t size);
  // Writes all bytes; a short write raises.
  void Write(const void* data, size_t size);
  int64_t Size() const;
  int64_t Position() const;
  void Seek(int64_t position);
  // Makes the written data durable before the file is put in place of another.
  void Flush();
  void Close();

  struct Impl;
  static File FromImpl(std::unique_ptr<Impl> impl);

 private:
  explicit File(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
