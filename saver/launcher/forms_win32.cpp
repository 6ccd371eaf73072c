#include "saver/launcher/forms.h"

namespace sorvane::saver {
namespace {

const char kFormClass[] = "SorvaneForm";

bool RegisterFormClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = kFormClass;
  registered = RegisterClassExA(&wc) != 0;
  return registered;
}

}  // namespace

Form::~Form() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool Form::Create(const char* caption, DWORD style, DWORD ex_style, HBRUSH background) {
  if (!RegisterFormClass(&Form::WindowProc)) return false;
  hwnd_ = CreateWindowExA(ex_style, kFormClass, caption, style, 0, 0, 0, 0, nullptr, nullptr,
                          GetModuleHandleA(nullptr), this);
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

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    auto* form = static_cast<Form*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (form != nullptr) {
    if (msg == WM_TIMER) {
      form->OnTimer(wparam);
      return 0;
    }
    if (msg == WM_ERASEBKGND && form->background_ != nullptr) {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wparam), &rc, form->background_);
      return 1;
    }
    LRESULT result = 0;
    if (form->OnMessage(msg, wparam, lparam, &result)) return result;
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      form->hwnd_ = nullptr;
    }
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace sorvane::saver
