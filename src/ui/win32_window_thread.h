#pragma once
#include <windows.h>

#include <functional>

#include "common/window_thread.h"
#include "platform/win32/scoped_handle.h"

// The hand-over on Windows: a message sent with SendMessageW to a hidden message-only window
// that belongs to the window thread, so the routine runs inside that thread's message loop
// (or any modal loop it is in) while the worker waits in SendMessageW. An exception of the
// routine is caught on the window thread and raised again on the worker.
//
// Create it on the window thread before the worker starts, and keep it for as long as a
// worker may hand over: the worker frees itself and nobody waits for it, so in practice it
// lives until the process ends.
class Win32WindowThread : public WindowThread {
 public:
  explicit Win32WindowThread(HINSTANCE instance);
  Win32WindowThread(const Win32WindowThread&) = delete;
  Win32WindowThread& operator=(const Win32WindowThread&) = delete;

  void RunSynchronized(const std::function<void()>& routine) override;

 private:
  struct WindowTraits {
    using Handle = HWND;
    static bool IsValid(HWND h) { return h != nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  DWORD window_thread_;
  ScopedHandle<WindowTraits> window_;
};
