// launcher_driver: looks at and acts on the launcher's windows from inside the same Wine
// prefix, for the end-to-end tests. Prints JSON on standard output.
//
//   wait CLASS [TIMEOUT_MS]           wait for a visible window of that class, then dump it
//   dump CLASS                        the window and its controls
//   click CLASS CONTROL               click a control (BM_CLICK, posted)
//   mouse CLASS CONTROL EVENT X Y     post a mouse event at X,Y within the control;
//                                     EVENT: ldown lup rdown rup mdown mup move
//   set-text CLASS CONTROL TEXT       replace a control's text (WM_SETTEXT)
//   key CLASS CONTROL VK              post a key press and release to a control
//   count CLASS                       how many visible windows of that class there are
//   restore CLASS                     restore the launcher from the task bar (its owner window)
//   terminate CLASS                   end every process that shows a window of that class
//   close CLASS                       post WM_CLOSE
//   messagebox [TIMEOUT_MS] [--dismiss]  wait for a message box, print its title and text,
//                                     and press its OK button with --dismiss
//   reg-dump KEY                      values and subkeys of HKEY_CURRENT_USER\KEY
//   reg-set KEY NAME sz|dword VALUE   write a value
//   reg-delete KEY [NAME]             delete a value, or the key with its subkeys
//
// CLASS may name the program too, as CLASS@FILE ("TForm_AutoUpdate@Launcher2.exe"): only the
// windows of processes started from a file of that name (any letter case) count.
//
// Exit code 0 when done, 1 when the window, control or key is not there, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/wide_text.h"
#include "ui/main_window_layout.h"
#include "ui/options_window_layout.h"

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

struct Layout {
  const wchar_t* class_name;
  std::span<const ControlSpec> controls;
};

const Layout kLayouts[] = {
    {main_window::kClassName, main_window::kControls},
    {options_window::kClassName, options_window::kControls},
};

std::span<const ControlSpec> ControlsOf(const std::wstring& class_name) {
  for (const Layout& layout : kLayouts) {
    if (class_name == layout.class_name) return layout.controls;
  }
  return {};
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256];
  int length = GetClassNameW(hwnd, name, 256);
  return std::wstring(name, length > 0 ? length : 0);
}

std::string TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  // Room to spare: the window thread may set a longer text between the two messages.
  std::wstring text(length + 1024, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                      5000, &copied);
  text.resize(copied);
  return Narrow(text);
}

LRESULT Ask(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

// A window class and, optionally, the file name of the program that shows the window.
struct WindowSpec {
  std::wstring class_name;
  std::wstring program;  // empty: any program

  explicit WindowSpec(const std::wstring& text) {
    size_t at = text.find(L'@');
    class_name = text.substr(0, at);
    if (at != std::wstring::npos) program = text.substr(at + 1);
  }
};

std::wstring ProgramOf(HWND hwnd) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  ScopedKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD length = MAX_PATH * 4;
  if (!QueryFullProcessImageNameW(process.Get(), 0, path, &length)) return {};
  std::wstring full(path, length);
  return full.substr(full.find_last_of(L"\\/") + 1);
}

bool Matches(HWND hwnd, const WindowSpec& spec) {
  return ClassOf(hwnd) == spec.class_name &&
         (spec.program.empty() || _wcsicmp(ProgramOf(hwnd).c_str(), spec.program.c_str()) == 0);
}

struct FindData {
  WindowSpec spec;
  bool visible_only;
  HWND found;
};

struct CountData {
  WindowSpec spec;
  int count;
};

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM data) {
  auto* count = reinterpret_cast<CountData*>(data);
  if (Matches(hwnd, count->spec) && IsWindowVisible(hwnd)) ++count->count;
  return TRUE;
}

BOOL CALLBACK TerminateOwner(HWND hwnd, LPARAM data) {
  if (!Matches(hwnd, *reinterpret_cast<WindowSpec*>(data))) return TRUE;
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  ScopedKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id));
  if (process) {
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
  }
  return TRUE;
}

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM data) {
  auto* find = reinterpret_cast<FindData*>(data);
  if (!Matches(hwnd, find->spec)) return TRUE;
  if (find->visible_only && !IsWindowVisible(hwnd)) return TRUE;
  find->found = hwnd;
  return FALSE;
}

HWND FindWindowOfClass(const std::wstring& class_name, bool visible_only) {
  FindData find{WindowSpec(class_name), visible_only, nullptr};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

HWND WaitForWindow(const std::wstring& class_name, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND hwnd = FindWindowOfClass(class_name, true)) return hwnd;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(50);
  }
}

const char* NameOf(std::span<const ControlSpec> controls, int id) {
  for (const ControlSpec& spec : controls) {
    if (spec.id == id) return spec.name;
  }
  return "";
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchControlId(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ControlSearch*>(data);
  if (GetDlgCtrlID(child) != search->id) return TRUE;
  search->found = child;
  return FALSE;
}

// Controls are found by their design name among all descendants of the window.
HWND FindControl(HWND window, const std::string& name) {
  for (const ControlSpec& spec : ControlsOf(ClassOf(window))) {
    if (name == spec.name) {
      ControlSearch search{spec.id, nullptr};
      EnumChildWindows(window, MatchControlId, reinterpret_cast<LPARAM>(&search));
      return search.found;
    }
  }
  std::fprintf(stderr, "no control %s\n", name.c_str());
  return nullptr;
}

void WriteRect(Writer& json, const RECT& rect) {
  json.Key("left"); json.Int(rect.left);
  json.Key("top"); json.Int(rect.top);
  json.Key("width"); json.Int(rect.right - rect.left);
  json.Key("height"); json.Int(rect.bottom - rect.top);
}

struct DumpData {
  Writer* json;
  HWND window;
  std::span<const ControlSpec> controls;
  int stack_position = 0;  // EnumChildWindows goes from the top of the z-order down
};

BOOL CALLBACK DumpControl(HWND control, LPARAM data) {
  auto* dump = reinterpret_cast<DumpData*>(data);
  Writer& json = *dump->json;
  std::wstring class_name = ClassOf(control);
  json.StartObject();
  json.Key("name"); json.String(NameOf(dump->controls, GetDlgCtrlID(control)));
  json.Key("id"); json.Int(GetDlgCtrlID(control));
  if (GetParent(control) == dump->window) {
    json.Key("stack"); json.Int(dump->stack_position++);
  }
  json.Key("class"); json.String(Narrow(class_name).c_str());
  json.Key("text"); json.String(TextOf(control).c_str());
  json.Key("visible"); json.Bool(IsWindowVisible(control) != FALSE);
  json.Key("own_visible"); json.Bool((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0);
  json.Key("enabled"); json.Bool(IsWindowEnabled(control) != FALSE);
  json.Key("style"); json.Uint(static_cast<unsigned>(GetWindowLongW(control, GWL_STYLE)));
  json.Key("exstyle"); json.Uint(static_cast<unsigned>(GetWindowLongW(control, GWL_EXSTYLE)));
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  WriteRect(json, rect);
  if (class_name == PROGRESS_CLASSW) {
    // The range's structure cannot cross processes; ask for each limit by itself.
    json.Key("position"); json.Int(static_cast<int>(Ask(control, PBM_GETPOS)));
    json.Key("min"); json.Int(static_cast<int>(Ask(control, PBM_GETRANGE, TRUE, 0)));
    json.Key("max"); json.Int(static_cast<int>(Ask(control, PBM_GETRANGE, FALSE, 0)));
  }
  if (class_name == L"Button") {
    json.Key("checked"); json.Bool(Ask(control, BM_GETCHECK) == BST_CHECKED);
  }
  json.EndObject();
  return TRUE;
}

std::string Dump(HWND window) {
  rapidjson::StringBuffer buffer;
  Writer json(buffer);
  json.StartObject();
  json.Key("class"); json.String(Narrow(ClassOf(window)).c_str());
  json.Key("caption"); json.String(TextOf(window).c_str());
  json.Key("visible"); json.Bool(IsWindowVisible(window) != FALSE);
  json.Key("minimized"); json.Bool(IsIconic(window) != FALSE);
  json.Key("style"); json.Uint(static_cast<unsigned>(GetWindowLongW(window, GWL_STYLE)));
  json.Key("exstyle"); json.Uint(static_cast<unsigned>(GetWindowLongW(window, GWL_EXSTYLE)));
  RECT rect;
  GetWindowRect(window, &rect);
  WriteRect(json, rect);
  RECT client;
  GetClientRect(window, &client);
  json.Key("client_width"); json.Int(client.right);
  json.Key("client_height"); json.Int(client.bottom);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  if (GetLayeredWindowAttributes(window, &key, &alpha, &flags) && (flags & LWA_COLORKEY)) {
    json.Key("color_key"); json.Uint(static_cast<unsigned>(GetRValue(key)) << 16 | GetGValue(key) << 8 | GetBValue(key));
  }
  HWND owner = GetWindow(window, GW_OWNER);
  json.Key("owner_caption"); json.String(owner ? TextOf(owner).c_str() : "");
  json.Key("owner_minimized"); json.Bool(owner && IsIconic(owner));
  json.Key("screen_width"); json.Int(GetSystemMetrics(SM_CXSCREEN));
  json.Key("screen_height"); json.Int(GetSystemMetrics(SM_CYSCREEN));
  json.Key("controls");
  json.StartArray();
  DumpData data{&json, window, ControlsOf(ClassOf(window))};
  EnumChildWindows(window, DumpControl, reinterpret_cast<LPARAM>(&data));
  json.EndArray();
  json.EndObject();
  return buffer.GetString();
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

HWND RequireWindow(const std::wstring& class_name) {
  HWND window = FindWindowOfClass(class_name, false);
  if (!window) std::fprintf(stderr, "no window of class %ls\n", class_name.c_str());
  return window;
}

int MouseCommand(HWND window, const std::string& control_name, const std::string& event, int x, int y) {
  HWND control = FindControl(window, control_name);
  if (!control) return 1;
  struct Event { const char* name; UINT message; WPARAM keys; };
  const Event events[] = {{"ldown", WM_LBUTTONDOWN, MK_LBUTTON}, {"lup", WM_LBUTTONUP, 0},
                          {"rdown", WM_RBUTTONDOWN, MK_RBUTTON}, {"rup", WM_RBUTTONUP, 0},
                          {"mdown", WM_MBUTTONDOWN, MK_MBUTTON}, {"mup", WM_MBUTTONUP, 0},
                          {"move", WM_MOUSEMOVE, 0}};
  for (const Event& e : events) {
    if (event == e.name) {
      PostMessageW(control, e.message, e.keys, MAKELPARAM(x, y));
      return 0;
    }
  }
  return 2;
}

BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM data) {
  if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(data) = hwnd;
    return FALSE;
  }
  return TRUE;
}

int MessageBoxCommand(DWORD timeout_ms, bool dismiss) {
  DWORD start = GetTickCount();
  HWND box = nullptr;
  while (!box) {
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box) break;
    if (GetTickCount() - start >= timeout_ms) {
      std::fprintf(stderr, "no message box\n");
      return 1;
    }
    Sleep(50);
  }
  rapidjson::StringBuffer buffer;
  Writer json(buffer);
  json.StartObject();
  json.Key("title"); json.String(TextOf(box).c_str());
  json.Key("text"); json.String(TextOf(GetDlgItem(box, 0xFFFF)).c_str());
  json.EndObject();
  Print(buffer.GetString());
  if (dismiss) PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

void WriteRegistryKey(Writer& json, HKEY key) {
  json.StartObject();
  json.Key("values");
  json.StartObject();
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD name_length = 16384, type = 0, size = 0;
    if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size + 2);
    name_length = 16384;
    RegEnumValueW(key, index, name, &name_length, nullptr, &type, data.data(), &size);
    json.Key(Narrow(std::wstring(name, name_length)).c_str());
    json.StartObject();
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      std::wstring text(reinterpret_cast<wchar_t*>(data.data()), size / sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      json.Key("type"); json.String("sz");
      json.Key("data"); json.String(Narrow(text).c_str());
    } else if (type == REG_DWORD) {
      json.Key("type"); json.String("dword");
      json.Key("data"); json.Uint(*reinterpret_cast<DWORD*>(data.data()));
    } else {
      json.Key("type"); json.Uint(type);
    }
    json.EndObject();
  }
  json.EndObject();
  json.Key("subkeys");
  json.StartObject();
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_length = 256;
    if (RegEnumKeyExW(key, index, name, &name_length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY raw = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &raw) != ERROR_SUCCESS) continue;
    ScopedRegistryKey subkey(raw);
    json.Key(Narrow(std::wstring(name, name_length)).c_str());
    WriteRegistryKey(json, subkey.Get());
  }
  json.EndObject();
  json.EndObject();
}

int RegistryDump(const std::wstring& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
    Print("null");
    return 0;
  }
  ScopedRegistryKey key(raw);
  rapidjson::StringBuffer buffer;
  Writer json(buffer);
  WriteRegistryKey(json, key.Get());
  Print(buffer.GetString());
  return 0;
}

int RegistrySet(const std::wstring& path, const std::wstring& name, const std::wstring& type,
                const std::wstring& value) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) !=
      ERROR_SUCCESS)
    return 1;
  ScopedRegistryKey key(raw);
  LONG result;
  if (type == L"dword") {
    DWORD number = static_cast<DWORD>(std::stoul(value));
    result = RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  } else {
    result = RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  return result == ERROR_SUCCESS ? 0 : 1;
}

int RegistryDelete(const std::wstring& path, const std::wstring* name) {
  if (!name) return RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS ? 0 : 1;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &raw) != ERROR_SUCCESS) return 1;
  ScopedRegistryKey key(raw);
  return RegDeleteValueW(key.Get(), name->c_str()) == ERROR_SUCCESS ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr, "usage: launcher_driver wait|dump|click|mouse|close|messagebox|reg-dump|reg-set|reg-delete ...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  std::vector<std::wstring> args(argv + 2, argv + argc);
  auto arg = [&](size_t i) { return i < args.size() ? args[i] : std::wstring(); };

  if (command == L"wait" && !args.empty()) {
    DWORD timeout = args.size() > 1 ? std::stoul(args[1]) : 20000;
    HWND window = WaitForWindow(args[0], timeout);
    if (!window) {
      std::fprintf(stderr, "no visible window of class %ls\n", args[0].c_str());
      return 1;
    }
    Print(Dump(window));
    return 0;
  }
  if (command == L"dump" && !args.empty()) {
    HWND window = RequireWindow(args[0]);
    if (!window) return 1;
    Print(Dump(window));
    return 0;
  }
  if (command == L"click" && args.size() == 2) {
    HWND window = RequireWindow(args[0]);
    HWND control = window ? FindControl(window, Narrow(args[1])) : nullptr;
    if (!control) return 1;
    PostMessageW(control, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"set-text" && args.size() == 3) {
    HWND window = RequireWindow(args[0]);
    HWND control = window ? FindControl(window, Narrow(args[1])) : nullptr;
    if (!control) return 1;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[2].c_str()), SMTO_ABORTIFHUNG, 5000, nullptr);
    return 0;
  }
  if (command == L"key" && args.size() == 3) {
    HWND window = RequireWindow(args[0]);
    HWND control = window ? FindControl(window, Narrow(args[1])) : nullptr;
    if (!control) return 1;
    UINT key = std::stoul(args[2]);
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, 0xC0000001);
    return 0;
  }
  if (command == L"mouse" && args.size() == 5) {
    HWND window = RequireWindow(args[0]);
    if (!window) return 1;
    return MouseCommand(window, Narrow(args[1]), Narrow(args[2]), std::stoi(args[3]), std::stoi(args[4]));
  }
  if (command == L"count" && args.size() == 1) {
    CountData count{WindowSpec(args[0]), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    Print(std::to_string(count.count));
    return 0;
  }
  if (command == L"terminate" && args.size() == 1) {
    WindowSpec spec(args[0]);
    EnumWindows(TerminateOwner, reinterpret_cast<LPARAM>(&spec));
    return 0;
  }
  if (command == L"restore" && args.size() == 1) {
    HWND window = RequireWindow(args[0]);
    if (!window) return 1;
    HWND owner = GetWindow(window, GW_OWNER);
    ShowWindow(owner ? owner : window, SW_RESTORE);
    return 0;
  }
  if (command == L"close" && args.size() == 1) {
    HWND window = RequireWindow(args[0]);
    if (!window) return 1;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"messagebox") {
    DWORD timeout = 20000;
    bool dismiss = false;
    for (const auto& a : args) {
      if (a == L"--dismiss") dismiss = true;
      else timeout = std::stoul(a);
    }
    return MessageBoxCommand(timeout, dismiss);
  }
  if (command == L"reg-dump" && args.size() == 1) return RegistryDump(args[0]);
  if (command == L"reg-set" && args.size() == 4) return RegistrySet(args[0], args[1], args[2], args[3]);
  if (command == L"reg-delete" && !args.empty()) {
    std::wstring name = arg(1);
    return RegistryDelete(args[0], args.size() > 1 ? &name : nullptr);
  }
  return Usage();
}
