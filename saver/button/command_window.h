// The Windows side of the Command button: a child-window class
// "Sorvane.Command" that hosts the portable control, paints its face off
// screen in a DIB section (GradientFill and StretchBlt, as the face painting
// asks) and presents face and caption in one blit.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "command.h"
#include "face.h"

namespace sorvane::saver {

// The window class name.
extern const char kCommandClassName[];

// The six faces as embedded by button.rc (FACE_NORMAL ... FACE_DISABLE) in `module`.
// Missing or unreadable pictures stay empty (FaceSet::Complete() tells).
FaceSet LoadFaceResources(HMODULE module);
// The same pictures, loaded once for the whole program from the program's own module.
const FaceSet& ProgramFaces();

// The face name that a caption font really uses: `wanted` when a font of that
// name exists; otherwise the closest Japanese UI font the system has.
std::string ResolveCaptionFace(const std::string& wanted);
// A GDI font for a caption font at the screen's resolution.
HFONT CreateCaptionFont(const CaptionFont& font);

// The off-screen surface: a 32-bit top-down DIB section selected into a memory DC.
class GdiCanvas : public FaceCanvas {
 public:
  GdiCanvas();
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void Resize(int w, int h);
  HDC dc() const { return dc_; }
  Image Pixels() const;

  PixelRect Size() override { return {0, 0, w_, h_}; }
  void Clear() override;
  void GradientFillV(const GradientVertex& v0, const GradientVertex& v1) override;
  void StretchCopy(const Image& src, const PixelRect& dst, const PixelRect& from) override;
  void Present() override;

  std::function<void()> onPresent;

 private:
  HBITMAP PictureBitmap(const Image& src);

  HDC dc_ = nullptr;
  HBITMAP bmp_ = nullptr;
  HGDIOBJ oldBmp_ = nullptr;
  void* bits_ = nullptr;
  int w_ = 0, h_ = 0;
  HDC srcDc_ = nullptr;
  HGDIOBJ oldSrc_ = nullptr;
  std::map<const Image*, HBITMAP> pictures_;
};

// One button window. The window owns this object: it is deleted when the
// window is destroyed.
class CommandWindow : private CommandPort {
 public:
  struct Place {
    int left = 0, top = 0, width = 0, height = 0;  // twips, in the parent's client area
  };

  // Registers the class (RegisterClassA) once per process; true when it is registered.
  static bool Register();
  // A button as a child of `parent`, its stored properties read from `stored`
  // (absent keys take their defaults). Nothing when the window cannot be made.
  static CommandWindow* Create(HWND parent, int id, const Place& place, const PropertyBag& stored);
  // As the settings dialog keeps its buttons: only "caption" and "font" stored.
  static CommandWindow* Create(HWND parent, int id, const Place& place, const std::string& caption,
                               const CaptionFont& font = DefaultCaptionFont());
  // The button that owns `hwnd`, or nothing for any other window.
  static CommandWindow* FromWindow(HWND hwnd);

  HWND hwnd() const { return hwnd_; }
  Command& control() { return command_; }
  // The face as last presented off screen, and face plus caption as last put on screen.
  Image Face() const { return face_.Pixels(); }
  Image Screen() const;
  // The caption label's rectangle in client pixels.
  RECT LabelRect() const;

 private:
  CommandWindow();
  ~CommandWindow() override;
  LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  // CommandPort
  void SetMouseTimer(bool on, int intervalMs) override;
  std::optional<ScreenPoint> CursorPos() override;
  WindowId WindowAt(ScreenPoint p) override;
  WindowId OwnWindow() override;
  WindowId ParentWindow() override;
  void CaptionChanged() override;
  CaptionFont ContainerFont() override;

  void Compose();
  void DrawCaption(HDC dc, bool forMask);
  void UpdateRegion();
  HFONT LabelFont();

  HWND hwnd_ = nullptr;
  GdiCanvas face_;
  GdiCanvas screen_;  // face plus caption: what WM_PAINT blits
  Command command_;
  const PropertyBag* pendingProperties_ = nullptr;
  bool* adopted_ = nullptr;
  HFONT font_ = nullptr;
  CaptionFont fontFor_;
  int depth_ = 0;          // messages being handled
  bool destroyed_ = false;  // deleted once the outermost handler returns
  bool regionShown_ = false;
};

}  // namespace sorvane::saver
