#pragma once
#include <windows.h>
#include <wininet.h>

#include <utility>

// One move-only owner for every kind of system handle; Traits names the handle type, how to
// tell a live handle (several APIs use INVALID_HANDLE_VALUE as well as null) and how to close it.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~ScopedHandle() { Reset(); }

  bool Valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return Valid(); }
  Handle Get() const { return handle_; }
  Handle Release() { return std::exchange(handle_, Handle{}); }
  void Reset(Handle handle = Handle{}) {
    if (Valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_{};
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct RegistryKeyTraits {
  using Handle = HKEY;
  static bool IsValid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct InternetHandleTraits {
  using Handle = HINTERNET;
  static bool IsValid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
template <typename GdiHandle>
struct GdiObjectTraits {
  using Handle = GdiHandle;
  static bool IsValid(GdiHandle h) { return h != nullptr; }
  static void Close(GdiHandle h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedInternetHandle = ScopedHandle<InternetHandleTraits>;
using ScopedBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using ScopedFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;

// Selects a GDI object into a DC for one scope and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};
