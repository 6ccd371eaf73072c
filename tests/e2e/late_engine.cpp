// A stand-in for Sorvane.dll in end-to-end tests that need an engine with a
// given timing: it makes its "SorvaneVC" window only after a delay, or ends
// without ever making one. It writes how it was started to a log file.
//   SORVANE_LATE_ENGINE_MS    delay before the window (or the exit), default 3000
//   SORVANE_LATE_ENGINE_MODE  "window" (default), "exit", or "hang" (makes the
//                             window, then never answers a message again)
//   SORVANE_LATE_ENGINE_LOG   file that receives "show=N args=[...]"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name) {
  char buf[MAX_PATH] = {};
  return GetEnvironmentVariableA(name, buf, sizeof buf) > 0 ? std::string(buf) : std::string();
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR args, int) {
  const std::string log = Env("SORVANE_LATE_ENGINE_LOG");
  if (!log.empty()) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    if (FILE* f = std::fopen(log.c_str(), "ab")) {
      std::fprintf(f, "show=%d args=[%s]\n",
                   (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1, args);
      std::fclose(f);
    }
  }
  const std::string ms = Env("SORVANE_LATE_ENGINE_MS");
  Sleep(ms.empty() ? 3000 : static_cast<DWORD>(std::atoi(ms.c_str())));
  if (Env("SORVANE_LATE_ENGINE_MODE") == "exit") return 0;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.lpszClassName = "SorvaneVC";
  RegisterClassA(&wc);
  CreateWindowExA(0, "SorvaneVC", "SorvaneVC", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr,
                  nullptr, inst, nullptr);
  if (Env("SORVANE_LATE_ENGINE_MODE") == "hang") Sleep(INFINITE);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
