// Files on POSIX. The launcher writes Windows paths: "\" is read as "/".
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace platform {
namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

[[noreturn]] void Raise(const std::string& what, int error) {
  throw SystemError(what + ": " + std::strerror(error), static_cast<unsigned long>(error));
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
  return FileExists(path) && unlink(Native(path).c_str()) == 0;
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
  return rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool CreateDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(Native(path), error);
  return DirectoryExists(path);
}

bool RemoveEmptyDirectory(const std::string& path) { return rmdir(Native(path).c_str()) == 0; }

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
File File::Create(const std::string& path) { return OpenWith(path, O_RDWR | O_CREAT | O_TRUNC); }
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
  while (size > 0) {
    ssize_t put = write(impl_->fd, bytes, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) Raise("Write error on \"" + impl_->path + "\"", put < 0 ? errno : ENOSPC);
    bytes += put;
    size -= static_cast<size_t>(put);
  }
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
