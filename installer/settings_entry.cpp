// SorvaneSettings.exe, the Start-menu entry's target: opens the settings
// dialog of the Sorvane.scr beside it.
//
// A shortcut straight to "Sorvane.scr /c" goes through the shell's .scr file
// type, whose open command ("%1" /S) has no place for the shortcut's
// arguments: the saver would start instead of its settings. An .exe runs as
// itself, and this one starts the saver program with /c by CreateProcess,
// which hands over the command line as it is.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return 1;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.erase(path.find_last_of(L'\\') + 1);
  path += L"Sorvane.scr";

  std::wstring command = L"\"" + path + L"\" /c";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::wstring text = path + L"\r\n\r\nを開けません。";
    MessageBoxW(nullptr, text.c_str(), L"Sorvane", MB_OK | MB_ICONERROR);
    return 1;
  }
  // The shell let this program take the foreground; the dialog is its window.
  AllowSetForegroundWindow(process.dwProcessId);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
