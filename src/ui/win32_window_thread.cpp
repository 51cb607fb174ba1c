#include "ui/win32_window_thread.h"

#include <exception>
#include <stdexcept>

namespace {

constexpr UINT kRunRoutine = WM_APP + 0x48;
constexpr wchar_t kClassName[] = L"LauncherHandOverWindow";
// What SendMessageW returns once the routine has run; 0 means the message never got there.
constexpr LRESULT kRan = 1;

struct HandOver {
  const std::function<void()>* routine;
  std::exception_ptr error;
};

}  // namespace

Win32WindowThread::Win32WindowThread(HINSTANCE instance) : window_thread_(GetCurrentThreadId()) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);  // fails harmlessly when a second instance registers again
  window_.Reset(CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
  if (!window_) throw std::runtime_error("The hand-over window cannot be created");
}

void Win32WindowThread::RunSynchronized(const std::function<void()>& routine) {
  if (GetCurrentThreadId() == window_thread_) return routine();
  HandOver hand_over{&routine, nullptr};
  if (SendMessageW(window_.Get(), kRunRoutine, 0, reinterpret_cast<LPARAM>(&hand_over)) != kRan) {
    throw std::runtime_error("The window thread did not take the hand-over");
  }
  if (hand_over.error) std::rethrow_exception(hand_over.error);
}

// No exception may cross the system's window procedure frames: it is kept for the worker.
LRESULT CALLBACK Win32WindowThread::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kRunRoutine) return DefWindowProcW(hwnd, message, wparam, lparam);
  auto* hand_over = reinterpret_cast<HandOver*>(lparam);
  try {
    (*hand_over->routine)();
  } catch (...) {
    hand_over->error = std::current_exception();
  }
  return kRan;
}
