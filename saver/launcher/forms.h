// A thin forms layer over Win32: a form is a top-level window of our own class
// with its event handlers and its timers. Windows only.
#pragma once
#include <windows.h>

namespace sorvane::saver {

class Form {
 public:
  Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  // Creates the window (not shown). `background` may be null (no erase).
  bool Create(const char* caption, DWORD style, DWORD ex_style, HBRUSH background);
  HWND hwnd() const { return hwnd_; }

  // Starts (interval restarts) or stops timer `id` on the form's window.
  void EnableTimer(UINT_PTR id, UINT interval_ms, bool enabled);

 protected:
  // Message hooks; return true when handled (result in *result).
  virtual bool OnMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result);
  virtual void OnTimer(UINT_PTR id);

 private:
  LRESULT Handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  HWND hwnd_ = nullptr;
  HBRUSH background_ = nullptr;
};

// Delivers messages until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace sorvane::saver
