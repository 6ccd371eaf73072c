// A window of one of our classes and the object that handles its messages:
// the object comes as the creation parameter, is kept in GWLP_USERDATA from
// WM_NCCREATE on (WM_NCCREATE itself already reaches it) until WM_NCDESTROY
// has been handled. Messages with no object go to the default procedure.
// kWide: the class was registered with the wide calls. Windows only.
#pragma once
#include <windows.h>

namespace sorvane::saver {

// The object bound to `hwnd`, or null.
template <class T>
T* BoundObject(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Unbinds `hwnd`: later messages take the default procedure.
inline void UnbindWindow(HWND hwnd) { SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); }

// The class's window procedure: forwards to (object->*Handle)(hwnd, msg, wp, lp).
template <class T, LRESULT (T::*Handle)(HWND, UINT, WPARAM, LPARAM), bool kWide>
LRESULT CALLBACK BoundWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    // lpCreateParams stands at the same place in the narrow and the wide record.
    void* object = reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
  }
  T* object = BoundObject<T>(hwnd);
  if (object == nullptr) return kWide ? DefWindowProcW(hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
  const LRESULT result = (object->*Handle)(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) UnbindWindow(hwnd);
  return result;
}

}  // namespace sorvane::saver
