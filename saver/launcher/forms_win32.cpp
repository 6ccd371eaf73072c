#include "saver/launcher/forms.h"

#include "saver/launcher/text_win32.h"
#include "saver/win32/window_binding.h"

namespace sorvane::saver {
namespace {

// A Unicode class, so that a caption reads the same on every system code page.
const wchar_t kFormClass[] = L"SorvaneForm";

bool RegisterFormClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kFormClass;
  registered = RegisterClassExW(&wc) != 0;
  return registered;
}

}  // namespace

Form::~Form() {
  if (hwnd_ != nullptr) {
    UnbindWindow(hwnd_);
    DestroyWindow(hwnd_);
  }
}

bool Form::Create(const char* caption, DWORD style, DWORD ex_style, HBRUSH background) {
  if (!RegisterFormClass(&BoundWindowProc<Form, &Form::Handle, true>)) return false;
  hwnd_ = CreateWindowExW(ex_style, kFormClass, WideFrom932(caption ? caption : "").c_str(), style,
                          0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  background_ = background;
  return hwnd_ != nullptr;
}

void Form::EnableTimer(UINT_PTR id, UINT interval_ms, bool enabled) {
  if (hwnd_ == nullptr) return;
  if (enabled) {
    SetTimer(hwnd_, id, interval_ms, nullptr);
  } else {
    KillTimer(hwnd_, id);
  }
}

bool Form::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
void Form::OnTimer(UINT_PTR) {}

LRESULT Form::Handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) hwnd_ = hwnd;
  if (msg == WM_TIMER) {
    OnTimer(wparam);
    return 0;
  }
  if (msg == WM_ERASEBKGND && background_ != nullptr) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(reinterpret_cast<HDC>(wparam), &rc, background_);
    return 1;
  }
  LRESULT result = 0;
  if (OnMessage(msg, wparam, lparam, &result)) return result;
  if (msg == WM_NCDESTROY) hwnd_ = nullptr;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace sorvane::saver
