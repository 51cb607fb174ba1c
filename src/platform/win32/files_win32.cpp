#include <windows.h>

#include "platform/files.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"

namespace platform {

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"System error " + std::to_wstring(code);
  return Narrow(text);
}

void RaiseLastError(const std::string& what) {
  DWORD code = GetLastError();
  throw SystemError(what + ". " + SystemMessage(code), code);
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != FALSE; }

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileW(Widen(from).c_str(), Widen(to).c_str()) != FALSE;
}

// MOVEFILE_WRITE_THROUGH returns only once the rename is on disk.
bool ReplaceFileAtomic(const std::string& from, const std::string& to) {
  return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool CreateDirectories(const std::string& path) {
  if (path.empty() || DirectoryExists(path)) return !path.empty();
  size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && path[cut - 1] != ':') CreateDirectories(path.substr(0, cut));
  CreateDirectoryW(Widen(path).c_str(), nullptr);
  return DirectoryExists(path);
}

bool RemoveEmptyDirectory(const std::string& path) { return RemoveDirectoryW(Widen(path).c_str()) != FALSE; }

// The caller's share, which a quota may make smaller than the disk's free bytes.
std::optional<uint64_t> FreeSpaceOf(const std::string& folder) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(Widen(folder).c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

std::string WorkingDirectory() {
  wchar_t buffer[MAX_PATH * 4];
  DWORD length = GetCurrentDirectoryW(MAX_PATH * 4, buffer);
  std::string dir = Narrow(std::wstring(buffer, length));
  if (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return Narrow(std::wstring(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  return path.substr(0, path.find_last_of("\\/") + 1);
}

struct File::Impl {
  ScopedKernelHandle handle;
  std::string path;
};

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
File File::FromImpl(std::unique_ptr<Impl> impl) { return File(std::move(impl)); }

namespace {
File OpenWith(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE handle = CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseLastError("Cannot open file \"" + path + "\"");
  auto impl = std::make_unique<File::Impl>();
  impl->handle.Reset(handle);
  impl->path = path;
  return File::FromImpl(std::move(impl));
}
}  // namespace

File File::OpenRead(const std::string& path) { return OpenWith(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING); }
File File::Create(const std::string& path) { return OpenWith(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS); }
File File::OpenAppend(const std::string& path) {
  File file = OpenWith(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
  file.Seek(file.Size());
  return file;
}

size_t File::Read(void* buffer, size_t size) {
  DWORD got = 0;
  if (!ReadFile(impl_->handle.Get(), buffer, static_cast<DWORD>(size), &got, nullptr))
    RaiseLastError("Read error on \"" + impl_->path + "\"");
  return got;
}

void File::Write(const void* data, size_t size) {
  auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    if (!WriteFile(impl_->handle.Get(), bytes, static_cast<DWORD>(size), &put, nullptr) || put == 0)
      RaiseLastError("Write error on \"" + impl_->path + "\"");
    bytes += put;
    size -= put;
  }
}

int64_t File::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(impl_->handle.Get(), &size)) RaiseLastError("Cannot read the size of \"" + impl_->path + "\"");
  return size.QuadPart;
}

int64_t File::Position() const {
  LARGE_INTEGER zero{}, position{};
  SetFilePointerEx(impl_->handle.Get(), zero, &position, FILE_CURRENT);
  return position.QuadPart;
}

void File::Seek(int64_t position) {
  LARGE_INTEGER target;
  target.QuadPart = position;
  if (!SetFilePointerEx(impl_->handle.Get(), target, nullptr, FILE_BEGIN)) RaiseLastError("Seek error on \"" + impl_->path + "\"");
}

void File::Flush() {
  if (!FlushFileBuffers(impl_->handle.Get())) RaiseLastError("Cannot flush \"" + impl_->path + "\"");
}

void File::Close() {
  if (impl_) impl_->handle.Reset();
}

}  // namespace platform
