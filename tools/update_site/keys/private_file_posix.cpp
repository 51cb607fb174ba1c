#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/scoped_removal.h"
#include "platform/errors.h"
#include "update_site/keys/private_file.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int Get() const { return fd_; }
  // close() reports write errors some file systems only notice then.
  int Close() { return close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

[[noreturn]] void Raise(const std::string& what, int error) {
  throw platform::SystemError(what + ": " + std::strerror(error), static_cast<unsigned long>(error));
}

}  // namespace

void CreatePrivateFile(const std::string& path, std::string_view content) {
  // O_EXCL: created here and now, never an existing file or a planted link.
  Descriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (file.Get() < 0) {
    if (errno == EEXIST) throw FileExists("\"" + path + "\" exists already");
    Raise("Cannot create \"" + path + "\"", errno);
  }
  ScopedRemoval unfinished(path);
  // The mode given to open() passes through the umask, which may take away but never add.
  if (fchmod(file.Get(), 0600) != 0) Raise("Cannot restrict \"" + path + "\"", errno);
  for (size_t done = 0; done < content.size();) {
    ssize_t put = write(file.Get(), content.data() + done, content.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) Raise("Write error on \"" + path + "\"", put < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(put);
  }
  if (fsync(file.Get()) != 0) Raise("Cannot flush \"" + path + "\"", errno);
  if (file.Close() != 0) Raise("Cannot close \"" + path + "\"", errno);
  unfinished.Keep();
}
