#include "command_window.h"

#include <cstring>
#include <vector>

#include "win32/dib.h"
#include "win32/window_binding.h"

namespace sorvane::saver {

const char kCommandClassName[] = "Sorvane.Command";

namespace {

constexpr UINT_PTR kMouseTimerId = 1;

std::string ResourceName(FaceId id) {
  std::string name = std::string("FACE_") + FaceName(id);
  for (char& c : name) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return name;
}

RECT TwipsRect(const LabelPlace& p) {
  RECT r;
  r.left = TwipsToPixels(p.left);
  r.top = TwipsToPixels(p.top);
  r.right = r.left + TwipsToPixels(p.width);
  r.bottom = r.top + TwipsToPixels(p.height);
  return r;
}

int CALLBACK FoundFace(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceExists(HDC dc, const std::string& name, BYTE charset) {
  if (name.empty() || name.size() >= LF_FACESIZE) return false;
  LOGFONTA lf{};
  lf.lfCharSet = charset;
  std::memcpy(lf.lfFaceName, name.data(), name.size());
  bool found = false;
  EnumFontFamiliesExA(dc, &lf, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

struct AnyJapanese {
  std::string proportional, fixed;
};

int CALLBACK CollectJapanese(const LOGFONTA* lf, const TEXTMETRICA*, DWORD type, LPARAM param) {
  auto* out = reinterpret_cast<AnyJapanese*>(param);
  if (lf->lfFaceName[0] == '@' || !(type & TRUETYPE_FONTTYPE)) return 1;  // vertical or bitmap faces
  std::string& slot = (lf->lfPitchAndFamily & 0x3) == VARIABLE_PITCH ? out->proportional : out->fixed;
  if (slot.empty()) slot = lf->lfFaceName;
  return 1;
}

}  // namespace

FaceSet LoadFaceResources(HMODULE module) {
  FaceSet set;
  for (int i = 0; i < kFaceCount; ++i) {
    const std::string name = ResourceName(FaceId(i));
    HRSRC res = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    if (!res) continue;
    HGLOBAL data = LoadResource(module, res);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) continue;
    if (auto img = DecodeBmp(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, res)))
      set.images[std::size_t(i)] = *img;
  }
  return set;
}

const FaceSet& ProgramFaces() {
  static const FaceSet faces = LoadFaceResources(GetModuleHandleA(nullptr));
  return faces;
}

std::string ResolveCaptionFace(const std::string& wanted) {
  static std::map<std::string, std::string> resolved;
  auto it = resolved.find(wanted);
  if (it != resolved.end()) return it->second;
  HDC dc = GetDC(nullptr);
  std::string result = wanted;
  if (!FaceExists(dc, wanted, DEFAULT_CHARSET)) {
    // The Japanese UI faces in order of likeness to the caption's own.
    static const char* const kCandidates[] = {
        "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E",  // ＭＳ Ｐゴシック
        "MS PGothic", "MS UI Gothic", "Meiryo UI", "Yu Gothic UI",
        "IPAPGothic", "IPA\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E",  // IPAPゴシック
        "VL PGothic", "Noto Sans CJK JP", "TakaoPGothic",
        "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E",  // ＭＳ ゴシック
        "MS Gothic", "IPAGothic", "IPA\x83\x53\x83\x56\x83\x62\x83\x4E",  // IPAゴシック
    };
    bool found = false;
    for (const char* name : kCandidates) {
      if (FaceExists(dc, name, SHIFTJIS_CHARSET)) {
        result = name;
        found = true;
        break;
      }
    }
    if (!found) {
      AnyJapanese any;
      LOGFONTA lf{};
      lf.lfCharSet = SHIFTJIS_CHARSET;
      EnumFontFamiliesExA(dc, &lf, CollectJapanese, reinterpret_cast<LPARAM>(&any), 0);
      if (!any.proportional.empty()) result = any.proportional;
      else if (!any.fixed.empty()) result = any.fixed;
    }
  }
  ReleaseDC(nullptr, dc);
  resolved[wanted] = result;
  return result;
}

HFONT CreateCaptionFont(const CaptionFont& font) {
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  const std::string face = ResolveCaptionFace(font.name);
  // Character height in pixels: 9.75 pt is 13 pixels at 96 dots per inch.
  const int height = -int(font.size * dpi / 72.0 + 0.5);
  return CreateFontA(height, 0, 0, 0, font.weight, font.italic, font.underline, font.strikethrough, font.charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     face.c_str());
}

// ---- GdiCanvas ----

GdiCanvas::GdiCanvas() {
  dc_ = CreateCompatibleDC(nullptr);
  srcDc_ = CreateCompatibleDC(nullptr);
}

GdiCanvas::~GdiCanvas() {
  if (oldSrc_) SelectObject(srcDc_, oldSrc_);
  for (auto& p : pictures_) DeleteObject(p.second);
  if (oldBmp_) SelectObject(dc_, oldBmp_);
  if (bmp_) DeleteObject(bmp_);
  DeleteDC(srcDc_);
  DeleteDC(dc_);
}

void GdiCanvas::Resize(int w, int h) {
  if (w == w_ && h == h_ && bmp_) return;
  if (oldBmp_) SelectObject(dc_, oldBmp_);
  if (bmp_) DeleteObject(bmp_);
  bmp_ = nullptr;
  oldBmp_ = nullptr;
  bits_ = nullptr;
  w_ = w > 0 ? w : 0;
  h_ = h > 0 ? h : 0;
  if (w_ == 0 || h_ == 0) return;
  bmp_ = CreateDib(dc_, w_, h_, 32, true, &bits_);
  if (bmp_) oldBmp_ = SelectObject(dc_, bmp_);
  Clear();
}

Image GdiCanvas::Pixels() const {
  Image img(w_, h_);
  if (!bits_) return img;
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits_);
  for (std::size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = p[i] & 0xFFFFFF;
  return img;
}

void GdiCanvas::Clear() {
  if (!bmp_) return;
  const Rgb c = PixelCanvas::kClearColour;
  HBRUSH brush = CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
  RECT r{0, 0, w_, h_};
  FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void GdiCanvas::GradientFillV(const GradientVertex& v0, const GradientVertex& v1) {
  if (!bmp_) return;
  TRIVERTEX v[2] = {{v0.x, v0.y, v0.red, v0.green, v0.blue, 0}, {v1.x, v1.y, v1.red, v1.green, v1.blue, 0}};
  // Upper-left index 1, lower-right index 0: the fill still runs from the upper vertex down.
  GRADIENT_RECT rect{1, 0};
  GradientFill(dc_, v, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

HBITMAP GdiCanvas::PictureBitmap(const Image& src) {
  auto it = pictures_.find(&src);
  if (it != pictures_.end()) return it->second;
  void* bits = nullptr;
  HBITMAP bmp = CreateDib(srcDc_, src.width, src.height, 32, true, &bits);
  if (!bmp) return nullptr;
  std::memcpy(bits, src.pixels.data(), src.pixels.size() * sizeof(Rgb));  // 0x00RRGGBB is BGRX in memory
  pictures_[&src] = bmp;
  return bmp;
}

void GdiCanvas::StretchCopy(const Image& src, const PixelRect& dst, const PixelRect& from) {
  if (!bmp_ || src.width <= 0 || src.height <= 0) return;
  HBITMAP pic = PictureBitmap(src);
  if (!pic) return;
  HGDIOBJ old = SelectObject(srcDc_, pic);
  if (!oldSrc_) oldSrc_ = old;
  SetStretchBltMode(dc_, COLORONCOLOR);  // a straight copy, no blending
  StretchBlt(dc_, dst.x, dst.y, dst.w, dst.h, srcDc_, from.x, from.y, from.w, from.h, SRCCOPY);
}

void GdiCanvas::Present() {
  GdiFlush();
  if (onPresent) onPresent();
}

// ---- CommandWindow ----

struct CreateParams {
  CommandWindow* window;
};

CommandWindow::CommandWindow() : command_(*this, face_, ProgramFaces()) {
  face_.onPresent = [this] { Compose(); };
}

CommandWindow::~CommandWindow() {
  if (font_) DeleteObject(font_);
}

bool CommandWindow::Register() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSA wc{};
  // No CS_DBLCLKS: a quick second press is a press like any other.
  wc.lpfnWndProc = BoundWindowProc<CommandWindow, &CommandWindow::Dispatch, false>;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kCommandClassName;
  registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered;
}

CommandWindow* CommandWindow::Create(HWND parent, int id, const Place& place, const PropertyBag& stored) {
  if (!Register()) return nullptr;
  auto* self = new CommandWindow();
  bool adopted = false;  // set once the window has taken ownership of `self`
  self->adopted_ = &adopted;
  self->pendingProperties_ = &stored;
  self->command_.SetExtent(place.width, place.height);
  HWND hwnd = CreateWindowExA(0, kCommandClassName, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                              TwipsToPixels(place.left), TwipsToPixels(place.top), TwipsToPixels(place.width),
                              TwipsToPixels(place.height), parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                              GetModuleHandleA(nullptr), self);
  if (!hwnd) {
    // A window that got as far as WM_NCCREATE has deleted `self` on its way out.
    if (!adopted) delete self;
    return nullptr;
  }
  self->adopted_ = nullptr;
  self->pendingProperties_ = nullptr;
  return self;
}

CommandWindow* CommandWindow::Create(HWND parent, int id, const Place& place, const std::string& caption,
                                     const CaptionFont& font) {
  MemoryPropertyBag bag;
  bag.Write("caption", caption);
  bag.Write("font", font);
  return Create(parent, id, place, bag);
}

CommandWindow* CommandWindow::FromWindow(HWND hwnd) {
  char cls[64] = {};
  if (!hwnd || !GetClassNameA(hwnd, cls, sizeof cls) || std::strcmp(cls, kCommandClassName) != 0) return nullptr;
  return BoundObject<CommandWindow>(hwnd);
}

LRESULT CommandWindow::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    hwnd_ = hwnd;
    if (adopted_) *adopted_ = true;
  }
  ++depth_;
  const LRESULT result = Handle(msg, wp, lp);
  // A Click handler may have closed the window that holds this button:
  // the object goes only when no handler of it is running any more.
  if (--depth_ == 0 && destroyed_) delete this;
  return result;
}

LRESULT CommandWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  const auto twipsX = [lp] { return double(short(LOWORD(lp))) * kTwipsPerPixel; };
  const auto twipsY = [lp] { return double(short(HIWORD(lp))) * kTwipsPerPixel; };
  const auto shift = [wp] {
    return ((wp & MK_SHIFT) ? 1 : 0) | ((wp & MK_CONTROL) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
  };
  const auto held = [wp] {
    return ((wp & MK_LBUTTON) ? kLeftButton : 0) | ((wp & MK_RBUTTON) ? kRightButton : 0) |
           ((wp & MK_MBUTTON) ? kMiddleButton : 0);
  };
  switch (msg) {
    case WM_CREATE: {
      const auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      face_.Resize(cs->cx, cs->cy);
      screen_.Resize(cs->cx, cs->cy);
      static const MemoryPropertyBag kNothingStored;
      command_.UserControl_ReadProperties(pendingProperties_ ? *pendingProperties_ : kNothingStored);
      return 0;
    }
    case WM_SIZE: {
      const int w = LOWORD(lp), h = HIWORD(lp);
      face_.Resize(w, h);
      screen_.Resize(w, h);
      command_.UserControl_Resize(w * kTwipsPerPixel, h * kTwipsPerPixel);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
      const int button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)   ? kLeftButton
                         : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? kRightButton
                                                                              : kMiddleButton;
      // Clicking gives the button the focus before it sees the press.
      if (button == kLeftButton && GetFocus() != hwnd_) SetFocus(hwnd_);
      // The release comes back here even when the cursor has left.
      SetCapture(hwnd_);
      command_.UserControl_MouseDown(button, shift(), twipsX(), twipsY());
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const int button = msg == WM_LBUTTONUP ? kLeftButton : msg == WM_RBUTTONUP ? kRightButton : kMiddleButton;
      if (held() == 0 && GetCapture() == hwnd_) ReleaseCapture();
      command_.UserControl_MouseUp(button, shift(), twipsX(), twipsY());
      return 0;
    }
    case WM_MOUSEMOVE: {
      // While captured, moves outside still arrive: only moves over the button count.
      RECT rc;
      GetClientRect(hwnd_, &rc);
      POINT pt{short(LOWORD(lp)), short(HIWORD(lp))};
      if (PtInRect(&rc, pt)) command_.UserControl_MouseMove(held(), shift(), twipsX(), twipsY());
      return 0;
    }
    case WM_SETFOCUS:
      command_.UserControl_GotFocus();
      return 0;
    case WM_KILLFOCUS:
      command_.UserControl_LostFocus();
      return 0;
    case WM_TIMER:
      if (wp == kMouseTimerId) command_.TmrMouse_Timer();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the face covers everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      const PixelRect s = screen_.Size();
      BitBlt(dc, 0, 0, s.w, s.h, screen_.dc(), 0, 0, SRCCOPY);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_DESTROY:
      KillTimer(hwnd_, kMouseTimerId);
      return 0;
    case WM_NCDESTROY:
      destroyed_ = true;
      return 0;
    default:
      return DefWindowProcA(hwnd_, msg, wp, lp);
  }
}

// ---- the port ----

void CommandWindow::SetMouseTimer(bool on, int intervalMs) {
  if (on) SetTimer(hwnd_, kMouseTimerId, UINT(intervalMs), nullptr);
  else KillTimer(hwnd_, kMouseTimerId);
}

std::optional<ScreenPoint> CommandWindow::CursorPos() {
  POINT p;
  if (!GetCursorPos(&p)) return std::nullopt;
  return ScreenPoint{int(p.x), int(p.y)};
}

WindowId CommandWindow::WindowAt(ScreenPoint p) {
  return reinterpret_cast<WindowId>(WindowFromPoint(POINT{p.x, p.y}));
}

WindowId CommandWindow::OwnWindow() { return reinterpret_cast<WindowId>(hwnd_); }

WindowId CommandWindow::ParentWindow() { return reinterpret_cast<WindowId>(GetParent(hwnd_)); }

void CommandWindow::CaptionChanged() { Compose(); }

CaptionFont CommandWindow::ContainerFont() {
  HWND parent = hwnd_ ? GetParent(hwnd_) : nullptr;
  HFONT font = parent ? reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0)) : nullptr;
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTA lf{};
  CaptionFont f;
  if (!font || !GetObjectA(font, sizeof lf, &lf)) return f;
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  f.name = lf.lfFaceName;
  // Points to the quarter, as font sizes are kept.
  const double points = (lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight) * 72.0 / dpi;
  f.size = double(long(points * 4 + 0.5)) / 4;
  f.weight = std::int16_t(lf.lfWeight ? lf.lfWeight : 400);
  f.charset = lf.lfCharSet;
  f.italic = lf.lfItalic != 0;
  f.underline = lf.lfUnderline != 0;
  f.strikethrough = lf.lfStrikeOut != 0;
  return f;
}

// ---- drawing ----

HFONT CommandWindow::LabelFont() {
  const CaptionFont& want = command_.LblMsg().font;
  if (!font_ || want != fontFor_) {
    if (font_) DeleteObject(font_);
    font_ = CreateCaptionFont(want);
    fontFor_ = want;
  }
  return font_;
}

RECT CommandWindow::LabelRect() const { return TwipsRect(command_.LblMsg().place); }

void CommandWindow::DrawCaption(HDC dc, bool forMask) {
  const Command::Label& label = command_.LblMsg();
  if (label.text.empty()) return;
  RECT r = TwipsRect(label.place);
  HGDIOBJ oldFont = SelectObject(dc, LabelFont());
  SetBkMode(dc, TRANSPARENT);
  const UINT format = DT_CENTER | DT_TOP | DT_WORDBREAK | DT_NOPREFIX;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  if (forMask) {
    SetTextColor(dc, RGB(255, 255, 255));
    if (!label.enabledLook) {
      RECT o = r;
      OffsetRect(&o, 1, 1);
      DrawTextA(dc, label.text.c_str(), int(label.text.size()), &o, format);
    }
    DrawTextA(dc, label.text.c_str(), int(label.text.size()), &r, format);
  } else if (label.enabledLook) {
    SetTextColor(dc, COLORREF(label.colour & 0xFFFFFF));
    DrawTextA(dc, label.text.c_str(), int(label.text.size()), &r, format);
  } else {
    // The system's greyed text: an etched light copy under the grey one.
    RECT o = r;
    OffsetRect(&o, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawTextA(dc, label.text.c_str(), int(label.text.size()), &o, format);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, label.text.c_str(), int(label.text.size()), &r, format);
  }
  RestoreDC(dc, saved);
  SelectObject(dc, oldFont);
}

void CommandWindow::Compose() {
  if (!hwnd_) return;
  const PixelRect s = face_.Size();
  BitBlt(screen_.dc(), 0, 0, s.w, s.h, face_.dc(), 0, 0, SRCCOPY);
  DrawCaption(screen_.dc(), false);
  GdiFlush();
  UpdateRegion();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

Image CommandWindow::Screen() const { return screen_.Pixels(); }

// While the surface is transparent only the caption's own pixels belong to the
// window: the container shows through everywhere else.
void CommandWindow::UpdateRegion() {
  if (command_.Opaque()) {
    if (regionShown_) SetWindowRgn(hwnd_, nullptr, TRUE);
    regionShown_ = false;
    return;
  }
  const PixelRect s = face_.Size();
  GdiCanvas mask;
  mask.Resize(s.w, s.h);
  RECT all{0, 0, s.w, s.h};
  FillRect(mask.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawCaption(mask.dc(), true);
  const Image m = mask.Pixels();
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  for (int y = 0; y < m.height; ++y) {
    for (int x = 0; x < m.width;) {
      if (m.at(x, y) == 0) {
        ++x;
        continue;
      }
      int end = x;
      while (end < m.width && m.at(end, y) != 0) ++end;
      HRGN run = CreateRectRgn(x, y, end, y + 1);
      CombineRgn(region, region, run, RGN_OR);
      DeleteObject(run);
      x = end;
    }
  }
  SetWindowRgn(hwnd_, region, TRUE);  // the window owns the region now
  regionShown_ = true;
}

}  // namespace sorvane::saver
