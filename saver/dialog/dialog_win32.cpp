// The settings dialog as a Win32 window. The form and its panel Pic_C are windows
// of our own classes that draw their gradient, labels, option marks and the heading
// outline themselves over a back buffer; the repeat combo is the system's editable
// drop-down, the four buttons are Command controls. What happens on each event is
// decided by Sorvane_P (dialog_model.h); this file only carries it out.
#include "saver/dialog/dialog_win32.h"

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "command_window.h"
#include "saver/dialog/dialog_buttons.h"
#include "saver/dialog/dialog_model.h"
#include "saver/launcher/main.h"
#include "saver/settings/settings_store.h"
#include "saver/launcher/text_win32.h"
#include "saver/launcher/utilities.h"
#include "saver/win32/dib.h"
#include "saver/win32/window_binding.h"

namespace sorvane::saver {

namespace {

constexpr int kComboListHeight = 200;  // pixels of the dropped list below the field
// The record up to its template name (OPENFILENAME_SIZE_VERSION_400W).
static_assert(sizeof(void*) != 4 || offsetof(OPENFILENAMEW, pvReserved) == 76,
              "the file chooser's record is the 76-byte one on 32-bit Windows");

// "このﾌｧｲﾙ名には使えない文字が含まれています。別のﾌｧｲﾙを選んでください。"
// (code page 932): a chosen file whose name code page 932 cannot hold and that
// has no short name either.
constexpr char kTextUnusableFileName[] =
    "\x82\xB1\x82\xCC\xCC\xA7\xB2\xD9\x96\xBC\x82\xC9\x82\xCD\x8E\x67\x82\xA6\x82\xC8"
    "\x82\xA2\x95\xB6\x8E\x9A\x82\xAA\x8A\xDC\x82\xDC\x82\xEA\x82\xC4\x82\xA2\x82\xDC"
    "\x82\xB7\x81\x42\x95\xCA\x82\xCC\xCC\xA7\xB2\xD9\x82\xF0\x91\x49\x82\xF1\x82\xC5"
    "\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42";

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// The one place the save-failure message reaches the screen: code page 932
// text (converted for the wide call, so it reads right on any system), the application title as caption, owned by the dialog so it stays
// on top of it and the dialog waits.
void ShowSaveFailureMessage(HWND owner, const std::string& text) {
  MessageBox932(owner, text, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
}

// ---- Option pictures ---------------------------------------------------------------------

HBITMAP LoadOptionPicture(int selected) {
  return static_cast<HBITMAP>(LoadImageA(Instance(), OptionPictureResource(selected), IMAGE_BITMAP,
                                         0, 0, LR_CREATEDIBSECTION));
}

// A bitmap of one surface's gradient rows, stretched across its width.
HBITMAP MakeGradient(HDC ref, int width, int height, double tppY, GradientStyle style) {
  if (width <= 0 || height <= 0) return nullptr;
  void* bits = nullptr;
  HBITMAP bmp = CreateDib(ref, width, height, 32, true, &bits);
  if (!bmp || !bits) return bmp;
  const std::vector<uint32_t> rows = GradientRows(height, tppY, style);
  auto* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    const uint32_t c = rows[y];  // 0x00BBGGRR -> DIB 0x00RRGGBB
    const uint32_t dib = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    for (int x = 0; x < width; ++x) px[y * width + x] = dib;
  }
  return bmp;
}

}  // namespace

// ---- The window --------------------------------------------------------------------------

class SettingsDialogWindow : public SettingsDialogPort {
 public:
  SettingsDialogWindow()
      : dialog_(*this, MusicSettingsRef{&BgmKind, &BgmRepeat, &BgmFile}, ZoomOrigin) {}
  ~SettingsDialogWindow() override;

  bool Create();
  HWND Form() const { return form_; }
  Sorvane_P& Handlers() { return dialog_; }

  // SettingsDialogPort
  void ScreenSize(int& w, int& h) override {
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
  }
  void WindowSize(int& w, int& h) override {
    RECT r{};
    GetWindowRect(form_, &r);
    w = r.right - r.left;
    h = r.bottom - r.top;
  }
  void TwipsPerPixelXY(double& x, double& y) override { x = tppX_, y = tppY_; }
  void MoveWindowTo(int left, int top) override {
    LastResult = SetWindowPos(form_, nullptr, left, top, 0, 0,
                              SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void InitButtons(bool doInit, bool enable) override {
    for (auto& b : buttons_) {
      if (doInit)
        b->Initialize();
      else
        b->SetEnabled(enable);
    }
  }
  void SetRepeatEnabled(bool enabled) override { EnableWindow(combo_, enabled); }
  void SetFileButtonEnabled(bool enabled) override {
    if (cmdBgm_) cmdBgm_->SetEnabled(enabled);
  }
  void SetMark(int index, bool selected) override {
    if (index < 0 || index > 2) return;
    marks_[index] = selected;
    InvalidatePanel();
  }
  void SetRepeatText(const std::string& text) override { SetWindowTextA(combo_, text.c_str()); }
  void AddRepeatEntry(const std::string& text) override {
    SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::string RepeatText() override {
    const int n = GetWindowTextLengthA(combo_);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    const int got = GetWindowTextA(combo_, &s[0], n + 1);
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return s;
  }
  void SetFileLabel(const std::string& text) override {
    fileLabel_ = text;
    InvalidatePanel();
  }
  bool CursorPosition(int& x, int& y) override {
    POINT p{};
    if (!GetCursorPos(&p)) return false;
    x = p.x, y = p.y;
    return true;
  }
  void ZoomOpen() override { sorvane::saver::ZoomOpen(reinterpret_cast<std::uintptr_t>(form_)); }
  void ZoomClose() override { sorvane::saver::ZoomClose(reinterpret_cast<std::uintptr_t>(form_)); }
  void SetPointer(Pointer pointer) override {
    hourglass_ = pointer == Pointer::Hourglass;
    SetCursor(LoadCursorA(nullptr, hourglass_ ? IDC_WAIT : IDC_ARROW));
  }
  std::optional<std::string> ChooseMusicFile() override;
  void OpenAddress(const std::string& address) override {
    ShellExecuteA(form_, "open", address.c_str(), "", "", SW_SHOWNORMAL);
  }
  bool SaveSettings() override { return sorvane::saver::SaveSettings(); }
  void ShowSaveFailure(const std::string& text) override { ShowSaveFailureMessage(form_, text); }
  void Unload() override;
  bool DialogKey(const MSG& msg);

 private:
  static bool RegisterClasses();
  LRESULT OnForm(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnPanel(HWND, UINT, WPARAM, LPARAM);
  void PaintForm(HDC dc);
  void MoveFocus(bool backwards);
  void PaintPanel(HDC dc);
  void Resize(HWND wnd, HBITMAP& back, GradientStyle style);
  void InvalidatePanel() {
    if (panel_) InvalidateRect(panel_, nullptr, FALSE);
  }
  void DrawLabel(HDC dc, const TwipRect& r, const char* text, UINT format);
  PixelBox Px(const TwipRect& r) const { return ToPixels(r, tppX_, tppY_); }

  Sorvane_P dialog_;
  HWND form_ = nullptr, panel_ = nullptr, combo_ = nullptr;
  std::vector<std::unique_ptr<DialogButton>> buttons_;
  DialogButton* cmdBgm_ = nullptr;
  HFONT labelFont_ = nullptr, panelFont_ = nullptr;
  HBITMAP formBack_ = nullptr, panelBack_ = nullptr;
  HBITMAP Img_Ra_[2] = {nullptr, nullptr};
  HBRUSH white_ = nullptr;
  HICON icon_ = nullptr;
  bool marks_[3] = {false, false, false};
  std::string fileLabel_;
  double tppX_ = 15, tppY_ = 15;
  bool hourglass_ = false;
  bool unloading_ = false;
};

bool SettingsDialogWindow::RegisterClasses() {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExA(Instance(), kDialogClassName, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BoundWindowProc<SettingsDialogWindow, &SettingsDialogWindow::OnForm, false>;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = static_cast<HICON>(LoadImageA(Instance(), DialogIconResource(), IMAGE_ICON, 32, 32, 0));
    wc.hIconSm = static_cast<HICON>(LoadImageA(Instance(), DialogIconResource(), IMAGE_ICON, 16, 16, 0));
    wc.lpszClassName = kDialogClassName;
    if (!RegisterClassExA(&wc)) return false;
  }
  if (!GetClassInfoExA(Instance(), kPanelClassName, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BoundWindowProc<SettingsDialogWindow, &SettingsDialogWindow::OnPanel, false>;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kPanelClassName;
    if (!RegisterClassExA(&wc)) return false;
  }
  return true;
}

bool SettingsDialogWindow::Create() {
  if (!RegisterClasses()) return false;
  HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  tppX_ = TwipsPerPixel(dpiX);
  tppY_ = TwipsPerPixel(dpiY);

  // The labels share the buttons' font (with its stand-in where the system lacks it).
  labelFont_ = CreateCaptionFont(DefaultCaptionFont());
  CaptionFont panelFont;
  panelFont.name = kPanelFontFace;
  panelFont.size = kPanelFontPoints;
  panelFont.charset = DEFAULT_CHARSET;
  panelFont_ = CreateCaptionFont(panelFont);
  white_ = CreateSolidBrush(RGB(255, 255, 255));
  Img_Ra_[0] = LoadOptionPicture(0);
  Img_Ra_[1] = LoadOptionPicture(1);

  // A fixed dialog frame with a close box; the client area is what the layout gives.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = 0;
  RECT r{0, 0, static_cast<LONG>(std::lround(layout::kClientWidth / tppX_)),
         static_cast<LONG>(std::lround(layout::kClientHeight / tppY_))};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  form_ = CreateWindowExA(exStyle, kDialogClassName, kDialogCaption, style, 0, 0, r.right - r.left,
                          r.bottom - r.top, nullptr, nullptr, Instance(), this);
  if (!form_) return false;

  const PixelBox p = Px(layout::Pic_C);
  panel_ = CreateWindowExA(0, kPanelClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, p.left,
                           p.top, p.width, p.height, form_, nullptr, Instance(), this);

  // Without the panel the combo would become a window of its own: leave it out then.
  const PixelBox c = Px(layout::BGM_Repeat);
  if (panel_) {
    combo_ = CreateWindowExA(0, "COMBOBOX", "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                             c.left, c.top, c.width, c.height + kComboListHeight, panel_, nullptr,
                             Instance(), nullptr);
  }
  SendMessageA(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(panelFont_), FALSE);
  // The closed combo is as high as the layout says: adjust the field height by what
  // the frame adds (measured, since it differs between systems).
  for (int round = 0; round < 2; ++round) {
    RECT cr{};
    GetWindowRect(combo_, &cr);
    const int off = c.height - (cr.bottom - cr.top);
    const LRESULT field = SendMessageA(combo_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (off == 0 || field <= 0 || field + off <= 0) break;
    SendMessageA(combo_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + off);
  }

  auto add = [&](HWND parent, const TwipRect& at, const char* caption,
                 void (Sorvane_P::*onClick)()) -> DialogButton* {
    auto button = CreateDialogButton(parent, at, caption, [this, onClick] { (dialog_.*onClick)(); });
    if (!button) return nullptr;
    buttons_.push_back(std::move(button));
    return buttons_.back().get();
  };
  cmdBgm_ = add(panel_, layout::Cmd_BGM, kTextBrowse, &Sorvane_P::Cmd_BGM_Click);
  add(form_, layout::Cmd_Etc, kTextOtherWorks, &Sorvane_P::Cmd_Etc_Click);
  add(form_, layout::Cmd_Set, kTextSet, &Sorvane_P::Cmd_Set_Click);
  add(form_, layout::Cmd_Can, kTextCancel, &Sorvane_P::Cmd_Can_Click);

  // The backgrounds exist before the first paint.
  Resize(form_, formBack_, GradientStyle::Form);
  Resize(panel_, panelBack_, GradientStyle::Panel);
  return true;
}

SettingsDialogWindow::~SettingsDialogWindow() {
  buttons_.clear();
  if (form_ && IsWindow(form_)) DestroyWindow(form_);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(labelFont_), static_cast<HGDIOBJ>(panelFont_),
                    static_cast<HGDIOBJ>(formBack_), static_cast<HGDIOBJ>(panelBack_),
                    static_cast<HGDIOBJ>(Img_Ra_[0]), static_cast<HGDIOBJ>(Img_Ra_[1]),
                    static_cast<HGDIOBJ>(white_)})
    if (o) DeleteObject(o);
}

std::optional<std::string> SettingsDialogWindow::ChooseMusicFile() {
  // The wide dialog, with our code page 932 texts converted: the "A" one would
  // read them, and hand back the chosen name, in the system's code page.
  // One filter entry: description, pattern, then the closing empty pair.
  const std::wstring filter =
      WideFrom932(std::string(kFileFilterName) + '\0' + kFileFilterPattern + '\0' + '\0');
  const std::wstring caption = WideFrom932(kFileDialogTitle);
  wchar_t file[256] = {};   // 255 NULs: nothing preselected
  wchar_t title[256] = {};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;  // the 76-byte record of 32-bit Windows
  ofn.hwndOwner = form_;
  ofn.hInstance = Instance();
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = 255;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = 255;
  ofn.lpstrInitialDir = nullptr;
  ofn.lpstrTitle = caption.c_str();
  ofn.Flags = 0;
  if (GetOpenFileNameW(&ofn) <= 0) return std::nullopt;
  // The path is stored as code page 932 bytes. A name with characters outside
  // it is stored by its short name, which names the same file; without one the
  // file cannot be used, and the previous choice stays.
  std::optional<std::string> path = PathFor932(file);  // up to the first NUL
  if (!path) {
    MessageBox932(form_, kTextUnusableFileName, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    return std::nullopt;
  }
  if (path->size() > 254) return std::nullopt;  // more than the "A" dialog could hand back
  return path;
}

ShellApartment::ShellApartment()
    // S_FALSE (already so on this thread) counts too: every success is paired.
    : initialised_(SUCCEEDED(
          CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

ShellApartment::~ShellApartment() {
  if (initialised_) CoUninitialize();
}

void SettingsDialogWindow::Unload() {
  if (unloading_ || !form_) return;
  unloading_ = true;
  dialog_.Form_Unload();
  DestroyWindow(form_);
}

void SettingsDialogWindow::Resize(HWND wnd, HBITMAP& back, GradientStyle style) {
  if (!wnd) return;
  RECT r{};
  GetClientRect(wnd, &r);
  HDC dc = GetDC(wnd);
  HBITMAP made = MakeGradient(dc, r.right, r.bottom, tppY_, style);
  ReleaseDC(wnd, dc);
  if (back) DeleteObject(back);
  back = made;
  InvalidateRect(wnd, nullptr, FALSE);
}

void SettingsDialogWindow::PaintForm(HDC dc) {
  RECT r{};
  GetClientRect(form_, &r);
  if (formBack_) {
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, formBack_);
    BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  } else {
    HBRUSH b = CreateSolidBrush(layout::kFormBackColour);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, COLORREF(kCreditsColour));
  HGDIOBJ oldFont = SelectObject(dc, labelFont_);
  DrawLabel(dc, layout::lblCredits, kCreditsText, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
  SelectObject(dc, oldFont);
}

// Tab order: the repeat field, the file button, then the form's buttons left to
// right. Disabled controls (a button by its own flag) are passed over.
void SettingsDialogWindow::MoveFocus(bool backwards) {
  std::vector<HWND> order;
  if (combo_) order.push_back(combo_);
  for (auto& b : buttons_) order.push_back(b->Window());
  const auto focusable = [this](size_t i) {
    HWND w = i == 0 && combo_ ? combo_ : nullptr;
    if (!w) {
      const size_t b = combo_ ? i - 1 : i;
      if (!buttons_[b]->Enabled()) return false;
      w = buttons_[b]->Window();
    }
    return IsWindowVisible(w) && IsWindowEnabled(w);
  };
  const size_t n = order.size();
  if (n == 0) return;
  HWND focus = GetFocus();
  size_t at = n;  // none of ours: start before the first (or after the last)
  for (size_t i = 0; i < n; ++i)
    if (order[i] == focus || IsChild(order[i], focus)) at = i;
  for (size_t step = 1; step <= n; ++step) {
    const size_t i = at == n ? (backwards ? n - step : step - 1) : (backwards ? (at + n - step) % n : (at + step) % n);
    if (!focusable(i)) continue;
    SetFocus(order[i]);
    // As a dialog does for a field reached by Tab: its whole text selected.
    if (order[i] == combo_) SendMessageA(combo_, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    return;
  }
}

bool SettingsDialogWindow::DialogKey(const MSG& msg) {
  if (!form_ || msg.message != WM_KEYDOWN) return false;
  if (msg.hwnd != form_ && !IsChild(form_, msg.hwnd)) return false;
  if (msg.wParam == VK_TAB) {
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    MoveFocus(GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  if (msg.wParam == VK_ESCAPE) {
    // An open drop-down list closes first, as in any dialog.
    if (combo_ && SendMessageA(combo_, CB_GETDROPPEDSTATE, 0, 0)) return false;
    dialog_.Cmd_Can_Click();
    return true;
  }
  return false;
}

void SettingsDialogWindow::DrawLabel(HDC dc, const TwipRect& at, const char* text, UINT format) {
  const PixelBox p = Px(at);
  RECT r{p.left, p.top, p.left + p.width, p.top + p.height};
  DrawTextA(dc, text, -1, &r, format | DT_NOPREFIX);
}

void SettingsDialogWindow::PaintPanel(HDC target) {
  RECT r{};
  GetClientRect(panel_, &r);
  // Everything goes to a back buffer first so the gradient never flickers through.
  HDC dc = CreateCompatibleDC(target);
  HBITMAP buffer = CreateCompatibleBitmap(target, r.right, r.bottom);
  HGDIOBJ oldBuffer = SelectObject(dc, buffer);
  if (panelBack_) {
    HDC mem = CreateCompatibleDC(target);
    HGDIOBJ old = SelectObject(mem, panelBack_);
    BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  } else {
    HBRUSH b = CreateSolidBrush(layout::kPanelBackColour);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }

  // Shape3: a one-pixel outline behind the heading.
  const PixelBox s = Px(layout::Shape3);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, s.left, s.top, s.left + s.width, s.top + s.height);

  // Labels: transparent, black, the label font.
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  HGDIOBJ oldFont = SelectObject(dc, labelFont_);
  // One line each, not clipped: where the system stands in another font for the
  // labels' own, a slightly wider text still reads whole instead of losing a word.
  const UINT oneLine = DT_SINGLELINE | DT_NOCLIP;
  DrawLabel(dc, layout::lbl15, kTextBgm, oneLine | DT_CENTER);
  for (int i = 0; i < 3; ++i) DrawLabel(dc, layout::lbl_BGM[i], KindLabelText(i), oneLine);
  DrawLabel(dc, layout::lbl14, kTextRepeatTrack, oneLine);

  // lbl_Fname: a single-line border around the path.
  const PixelBox f = Px(layout::lbl_Fname);
  Rectangle(dc, f.left, f.top, f.left + f.width, f.top + f.height);
  RECT fr{f.left + 1, f.top + 1, f.left + f.width - 1, f.top + f.height - 1};
  const std::wstring fileLabel = WideFrom932(fileLabel_);  // a path: any characters
  DrawTextW(dc, fileLabel.c_str(), static_cast<int>(fileLabel.size()), &fr,
            DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);

  // The option marks, stretched to their image boxes.
  HDC mem = CreateCompatibleDC(target);
  for (int i = 0; i < 3; ++i) {
    HBITMAP pic = Img_Ra_[marks_[i] ? 1 : 0];
    if (!pic) continue;
    BITMAP bm{};
    GetObject(pic, sizeof(bm), &bm);
    HGDIOBJ old = SelectObject(mem, pic);
    const PixelBox m = Px(layout::Img_BGM[i]);
    // Image controls show their picture at its own size from the top-left corner.
    BitBlt(dc, m.left, m.top, std::min<int>(bm.bmWidth, m.width), std::min<int>(bm.bmHeight, m.height),
           mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  DeleteDC(mem);

  BitBlt(target, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBuffer);
  DeleteObject(buffer);
  DeleteDC(dc);
}

LRESULT SettingsDialogWindow::OnForm(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Resize(wnd, formBack_, GradientStyle::Form);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintForm(dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      if (hourglass_) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:  // the close box: like Cmd_Can
      Unload();
      return 0;
    case WM_DESTROY:
      form_ = nullptr;
      panel_ = nullptr;
      combo_ = nullptr;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

LRESULT SettingsDialogWindow::OnPanel(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Resize(wnd, panelBack_, GradientStyle::Panel);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintPanel(dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // Any button on an option mark or its label selects that kind.
      const int kind = KindAt(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)), tppX_, tppY_);
      if (kind >= 0) dialog_.SelectKind(kind);
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkColor(dc, RGB(255, 255, 255));
      SetTextColor(dc, RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(white_);
    }
    case WM_SETCURSOR:
      if (hourglass_) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

// ---- Entry points ------------------------------------------------------------------------

SettingsDialogWindow* OpenSettingsDialog() {
  auto* w = new SettingsDialogWindow();
  if (!w->Create()) {
    delete w;
    return nullptr;
  }
  w->Handlers().Form_Load();
  ShowWindow(w->Form(), SW_SHOWNORMAL);
  UpdateWindow(w->Form());
  return w;
}

HWND SettingsDialogHandle(const SettingsDialogWindow* dialog) {
  return dialog ? dialog->Form() : nullptr;
}

void RunSettingsDialog(SettingsDialogWindow* dialog) {
  if (!dialog) return;
  MSG msg;
  while (dialog->Form() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (dialog->DialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  delete dialog;
}

bool SettingsDialogKey(SettingsDialogWindow* dialog, const MSG& msg) {
  return dialog != nullptr && dialog->DialogKey(msg);
}

}  // namespace sorvane::saver
