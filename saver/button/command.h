// Command: the saver's own push button. It shows one of six faces by the mouse,
// the focus and its enabled state, centres a caption over the face and raises
// Click. This is the portable control: its state machine, its properties and
// their storing. The platform reaches it through CommandPort and FaceCanvas;
// the Windows child window that hosts it is CommandWindow (command_window.h).
// Texts are code page 932 bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "face.h"

namespace sorvane::saver {

// A caption font, the whole of it.
struct CaptionFont {
  std::string name;     // face name, code page 932
  double size = 9.75;   // points
  std::int16_t weight = 400;
  std::uint8_t charset = 128;  // Shift-JIS
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  bool operator==(const CaptionFont& o) const {
    return name == o.name && size == o.size && weight == o.weight && charset == o.charset && italic == o.italic &&
           underline == o.underline && strikethrough == o.strikethrough;
  }
  bool operator!=(const CaptionFont& o) const { return !(*this == o); }
};

// "ＭＳ Ｐゴシック" 9.75 pt, weight 400, Shift-JIS: the caption's font in a new button.
CaptionFont DefaultCaptionFont();

// A stored property's value as the container's store holds it.
using PropertyValue = std::variant<bool, std::int64_t, double, std::string, CaptionFont>;

// Named stored properties of one instance. Keys match without regard to case.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  virtual std::optional<PropertyValue> Read(const std::string& key) const = 0;
  virtual void Write(const std::string& key, const PropertyValue& value) = 0;
};

// A property store in memory: what the dialog hands each button, and what tests use.
class MemoryPropertyBag : public PropertyBag {
 public:
  std::optional<PropertyValue> Read(const std::string& key) const override;
  // Replaces a key of the same name whatever its case, else appends.
  void Write(const std::string& key, const PropertyValue& value) override;
  const std::vector<std::pair<std::string, PropertyValue>>& Entries() const { return entries_; }

 private:
  std::vector<std::pair<std::string, PropertyValue>> entries_;
};

// ASCII case folding that leaves code page 932 double-byte characters alone.
bool KeysMatch(const std::string& a, const std::string& b);

// Opaque window identity, as the platform hands it out.
using WindowId = std::uintptr_t;

struct ScreenPoint {
  int x = 0, y = 0;
};

// What the control needs from the platform besides its drawing surface.
class CommandPort {
 public:
  virtual ~CommandPort() = default;
  virtual void SetMouseTimer(bool on, int intervalMs) = 0;
  // Cursor position in screen coordinates; nothing when it cannot be read.
  virtual std::optional<ScreenPoint> CursorPos() = 0;
  virtual WindowId WindowAt(ScreenPoint p) = 0;
  virtual WindowId OwnWindow() = 0;
  virtual WindowId ParentWindow() = 0;
  // The caption (text, font, colour, place, enabled look) or the surface's
  // opacity changed: show it again over the face as it stands.
  virtual void CaptionChanged() = 0;
  // The container's font: the read and write default of "Font".
  virtual CaptionFont ContainerFont() = 0;
};

// Mouse buttons and shift keys as the handlers receive them.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kMiddleButton = 4;

class Command {
 public:
  // The caption label: a windowless label drawn by the control over its face.
  struct Label {
    std::string text = "Command";
    CaptionFont font = DefaultCaptionFont();
    std::uint32_t colour = 0;  // 0x00BBGGRR
    bool enabledLook = true;
    LabelPlace place{0, 90, 1635, 195};
  };

  Command(CommandPort& port, FaceCanvas& canvas, const FaceSet& faces) : port_(port), canvas_(canvas), faces_(faces) {}

  // Raised by a completed click; set by the container.
  std::function<void()> Click;
  // Property-changed notification to the container, with the property's name.
  std::function<void(const std::string&)> PropertyChanged;

  // Public members.
  void Initialize();
  std::uint8_t Visible();
  void Visible(std::uint8_t New_Visible);
  std::uint32_t FontColour();
  void FontColour(std::uint32_t New_FontColour);
  bool Enabled();
  void Enabled(bool New_Enabled);
  std::string Caption() const { return label_.text; }
  void Caption(const std::string& New_Caption);
  CaptionFont Font() const { return label_.font; }
  void Font(const CaptionFont& New_Font);

  // Notifications from the platform. Positions are in twips, relative to the control.
  void UserControl_MouseDown(int button, int shift, double x, double y);
  void UserControl_MouseMove(int button, int shift, double x, double y);
  void UserControl_MouseUp(int button, int shift, double x, double y);
  // The caption has no window: its mouse notifications are the control's own.
  void LblMsg_MouseDown(int button, int shift, double x, double y) { UserControl_MouseDown(button, shift, x, y); }
  void LblMsg_MouseMove(int button, int shift, double x, double y) { UserControl_MouseMove(button, shift, x, y); }
  void LblMsg_MouseUp(int button, int shift, double x, double y) { UserControl_MouseUp(button, shift, x, y); }
  void UserControl_GotFocus();
  void UserControl_LostFocus();
  void UserControl_Resize(int widthTwips, int heightTwips);
  // The size a new instance is sited with, before its properties load; paints nothing.
  void SetExtent(int widthTwips, int heightTwips) {
    width_ = widthTwips;
    height_ = heightTwips;
  }
  void TmrMouse_Timer();

  // Stored properties.
  void UserControl_ReadProperties(const PropertyBag& bag);
  void UserControl_WriteProperties(PropertyBag& bag);

  // State, for the platform's drawing and for tests.
  std::uint8_t ButtonState() const { return buttonState_; }
  std::int16_t EnabledFlag() const { return enabledFlag_; }
  std::uint8_t FirstRun() const { return firstRun_; }
  bool MouseHeld() const { return mouseHeld_; }
  bool FaceInverted() const { return faceInverted_; }
  bool Opaque() const { return opaque_; }
  bool TimerOn() const { return timerOn_; }
  const Label& LblMsg() const { return label_; }
  int WidthTwips() const { return width_; }
  int HeightTwips() const { return height_; }

 private:
  void DrawFace(FaceId face);
  void LeaveHover();
  void ShowEnabledLook();
  void RefreshLook();
  void Notify(const char* name);

  CommandPort& port_;
  FaceCanvas& canvas_;
  const FaceSet& faces_;

  std::uint8_t buttonState_ = 0;
  std::int16_t enabledFlag_ = 0;
  std::uint8_t firstRun_ = 0;
  bool mouseHeld_ = false;
  // Buttons (kLeftButton | ...) that went down on this control and are not up
  // yet: a release is a click only when its press was made here.
  int pressedHere_ = 0;
  bool faceInverted_ = false;
  bool opaque_ = true;
  bool timerOn_ = false;
  int width_ = 0;   // twips
  int height_ = 0;  // twips
  Label label_;
};

}  // namespace sorvane::saver
