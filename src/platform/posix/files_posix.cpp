// Files on POSIX. The launcher writes Windows paths: "\" is read as "/".
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/posix/simulated_disk.h"

namespace platform {
namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

[[noreturn]] void Raise(const std::string& what, int error) {
  throw SystemError(what + ": " + std::strerror(error), static_cast<unsigned long>(error));
}

// What a regular file takes on the disk; 0 for anything else.
uint64_t RegularFileSize(const std::string& native_path) {
  struct stat info;
  return stat(native_path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
}

// How many of the next `size` bytes written to fd fit on a simulated disk: those that only
// overwrite the file, and as many more as the disk has left.
size_t RoomFor(int fd, size_t size) {
  if (!simulated_disk::FreeBytes()) return size;
  struct stat info;
  if (fstat(fd, &info) != 0) return size;
  const off_t at = (fcntl(fd, F_GETFL) & O_APPEND) ? info.st_size : lseek(fd, 0, SEEK_CUR);
  const uint64_t end = static_cast<uint64_t>(at) + size, file_end = static_cast<uint64_t>(info.st_size);
  const uint64_t growth = end > file_end ? end - file_end : 0;
  return size - static_cast<size_t>(growth - simulated_disk::Take(growth));
}

}  // namespace

struct File::Impl {
  int fd = -1;
  std::string path;
};

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(Native(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return stat(Native(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveFile(const std::string& path) {
  const std::string native = Native(path);
  const uint64_t size = RegularFileSize(native);
  if (!FileExists(path) || unlink(native.c_str()) != 0) return false;
  simulated_disk::GiveBack(size);
  return true;
}

bool RenameFile(const std::string& from, const std::string& to) {
  // link() fails when the new name exists, as MoveFileW does; rename() would replace it.
  std::string source = Native(from), target = Native(to);
  struct stat info;
  if (lstat(source.c_str(), &info) != 0 || lstat(target.c_str(), &info) == 0) return false;
  if (link(source.c_str(), target.c_str()) == 0) return unlink(source.c_str()) == 0;
  return rename(source.c_str(), target.c_str()) == 0;  // a directory, or across file systems
}

bool ReplaceFileAtomic(const std::string& from, const std::string& to) {
  const uint64_t replaced = RegularFileSize(Native(to));
  if (rename(Native(from).c_str(), Native(to).c_str()) != 0) return false;
  simulated_disk::GiveBack(replaced);
  return true;
}

bool CreateDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(Native(path), error);
  return DirectoryExists(path);
}

bool RemoveEmptyDirectory(const std::string& path) { return rmdir(Native(path).c_str()) == 0; }

std::optional<uint64_t> FreeSpaceOf(const std::string& folder) {
  if (std::optional<uint64_t> simulated = simulated_disk::FreeBytes()) return simulated;
  struct statvfs disk;
  if (statvfs(Native(folder).c_str(), &disk) != 0) return std::nullopt;
  return static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize;
}

std::string WorkingDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : "";
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  return path.substr(0, path.find_last_of('/') + 1);
}

File::File(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
File::File(File&&) noexcept = default;
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}
File::~File() { Close(); }

namespace {
File OpenWith(const std::string& path, int flags) {
  int fd = open(Native(path).c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) Raise("Cannot open file \"" + path + "\"", errno);
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    close(fd);
    Raise("Cannot open file \"" + path + "\"", EISDIR);
  }
  auto impl = std::make_unique<File::Impl>();
  impl->fd = fd;
  impl->path = path;
  return File::FromImpl(std::move(impl));
}
}  // namespace

File File::FromImpl(std::unique_ptr<Impl> impl) { return File(std::move(impl)); }

File File::OpenRead(const std::string& path) { return OpenWith(path, O_RDONLY); }
File File::Create(const std::string& path) {
  const uint64_t truncated = RegularFileSize(Native(path));
  File file = OpenWith(path, O_RDWR | O_CREAT | O_TRUNC);
  simulated_disk::GiveBack(truncated);
  return file;
}
File File::OpenAppend(const std::string& path) { return OpenWith(path, O_WRONLY | O_CREAT | O_APPEND); }

size_t File::Read(void* buffer, size_t size) {
  for (;;) {
    ssize_t got = read(impl_->fd, buffer, size);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) Raise("Read error on \"" + impl_->path + "\"", errno);
  }
}

void File::Write(const void* data, size_t size) {
  auto* bytes = static_cast<const char*>(data);
  const size_t room = RoomFor(impl_->fd, size);
  for (size_t left = room; left > 0;) {
    ssize_t put = write(impl_->fd, bytes, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) Raise("Write error on \"" + impl_->path + "\"", put < 0 ? errno : ENOSPC);
    bytes += put;
    left -= static_cast<size_t>(put);
  }
  if (room < size) Raise("Write error on \"" + impl_->path + "\"", ENOSPC);
}

int64_t File::Size() const {
  struct stat info;
  if (fstat(impl_->fd, &info) != 0) Raise("Cannot read the size of \"" + impl_->path + "\"", errno);
  return info.st_size;
}

int64_t File::Position() const { return lseek(impl_->fd, 0, SEEK_CUR); }

void File::Seek(int64_t position) {
  if (lseek(impl_->fd, position, SEEK_SET) < 0) Raise("Seek error on \"" + impl_->path + "\"", errno);
}

void File::Flush() {
  if (fsync(impl_->fd) != 0) Raise("Cannot flush \"" + impl_->path + "\"", errno);
}

void File::Close() {
  if (impl_ && impl_->fd >= 0) {
    close(impl_->fd);
    impl_->fd = -1;
  }
}

}  // namespace platform
