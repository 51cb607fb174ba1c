// A stand-in for the game client, main.exe, for the tests and the demo: it records the command
// line it was started with and the game settings it finds in the registry to "main-run.json"
// beside itself, shows them in a window, and closes by itself after two minutes.
#include <windows.h>

#include <string>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "platform/registry.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr const char* kSettingsKey = "Software\\Webzen\\Mu\\Config";

std::string Record() {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> json(buffer);
  json.StartObject();
  json.Key("command_line");
  json.String(Narrow(GetCommandLineW()).c_str());
  wchar_t folder[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, folder);
  json.Key("working_directory");
  json.String(Narrow(folder).c_str());
  json.Key("settings");
  json.StartObject();
  platform::RegistryKey key = platform::RegistryKey::CreateCurrentUser(kSettingsKey);
  for (const char* name : {"ID", "Resolution", "SoundOnOff", "MusicOnOff", "WindowMode", "VolumeLevel", "ColorDepth",
                           "LangSelection"}) {
    json.Key(name);
    if (auto text = key.ReadString(name)) json.String(text->c_str());
    else if (auto number = key.ReadInteger(name)) json.Int(*number);
    else json.Null();
  }
  json.EndObject();
  json.EndObject();
  return buffer.GetString();
}

void Save(const std::string& record) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, length);
  file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"main-run.json";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(handle, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(handle);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER || message == WM_CLOSE) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  std::string record = Record();
  Save(record);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"GameStandIn";
  RegisterClassW(&window_class);
  HWND window = CreateWindowW(L"GameStandIn", L"Game client (stand-in)", WS_OVERLAPPEDWINDOW, 40, 40, 640, 200,
                              nullptr, nullptr, instance, nullptr);
  CreateWindowW(L"EDIT", Widen(record).c_str(), WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, 8, 8, 610, 150,
                window, nullptr, instance, nullptr);
  ShowWindow(window, show);
  SetTimer(window, 1, 120000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
