#include "command.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace sorvane::saver {

CaptionFont DefaultCaptionFont() {
  CaptionFont f;
  f.name = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ Ｐゴシック
  f.size = 9.75;
  f.weight = 400;
  f.charset = 128;
  return f;
}

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::optional<double> ParseNumber(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  if (b == e) return std::nullopt;
  const std::string t = text.substr(b, e - b);
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
  return v;
}

// The store's value as a number: booleans are 0 and -1, texts must be numerals.
std::optional<double> AsNumber(const PropertyValue& v) {
  if (auto b = std::get_if<bool>(&v)) return *b ? -1.0 : 0.0;
  if (auto i = std::get_if<std::int64_t>(&v)) return double(*i);
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto s = std::get_if<std::string>(&v)) return ParseNumber(*s);
  return std::nullopt;
}

std::optional<bool> AsBool(const PropertyValue& v) {
  if (auto s = std::get_if<std::string>(&v)) {
    if (KeysMatch(*s, "True")) return true;
    if (KeysMatch(*s, "False")) return false;
  }
  if (auto n = AsNumber(v)) return *n != 0.0;
  return std::nullopt;
}

std::optional<std::string> AsText(const PropertyValue& v) {
  if (auto s = std::get_if<std::string>(&v)) return *s;
  if (auto b = std::get_if<bool>(&v)) return std::string(*b ? "True" : "False");
  if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  return std::nullopt;
}

// Whole number in [lo, hi], halves to the even neighbour; nothing when out of range.
std::optional<std::int64_t> AsWhole(const PropertyValue& v, double lo, double hi) {
  auto n = AsNumber(v);
  if (!n) return std::nullopt;
  const double r = std::nearbyint(*n);
  if (r < lo || r > hi) return std::nullopt;
  return std::int64_t(r);
}

// A read of one key: the stored value, or the read default when the key is absent.
PropertyValue ReadProperty(const PropertyBag& bag, const char* key, PropertyValue readDefault) {
  if (auto v = bag.Read(key)) return *v;
  return readDefault;
}

bool SameAsDefault(const PropertyValue& value, const PropertyValue& writeDefault) {
  if (auto f = std::get_if<CaptionFont>(&writeDefault)) {
    auto g = std::get_if<CaptionFont>(&value);
    return g != nullptr && *g == *f;
  }
  if (auto text = std::get_if<std::string>(&writeDefault)) {
    // A numeral default compares as a number.
    if (auto dn = ParseNumber(*text)) {
      auto vn = AsNumber(value);
      return vn && *vn == *dn;
    }
    auto vt = std::get_if<std::string>(&value);
    return vt != nullptr && *vt == *text;
  }
  if (auto b = std::get_if<bool>(&writeDefault)) {
    auto vb = std::get_if<bool>(&value);
    return vb != nullptr && *vb == *b;
  }
  auto dn = AsNumber(writeDefault), vn = AsNumber(value);
  return dn && vn && *dn == *vn;
}

void WriteProperty(PropertyBag& bag, const char* key, const PropertyValue& value, const PropertyValue& writeDefault) {
  if (!SameAsDefault(value, writeDefault)) bag.Write(key, value);
}

}  // namespace

bool KeysMatch(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::optional<PropertyValue> MemoryPropertyBag::Read(const std::string& key) const {
  for (const auto& e : entries_)
    if (KeysMatch(e.first, key)) return e.second;
  return std::nullopt;
}

void MemoryPropertyBag::Write(const std::string& key, const PropertyValue& value) {
  for (auto& e : entries_) {
    if (KeysMatch(e.first, key)) {
      e.second = value;
      return;
    }
  }
  entries_.emplace_back(key, value);
}

// ---- public members ----

void Command::Initialize() {
  buttonState_ = 1;
  timerOn_ = true;
  port_.SetMouseTimer(true, 100);
}

std::uint8_t Command::Visible() {
  if (opaque_) {
    RefreshLook();
    return 255;
  }
  return 0;
}

void Command::Visible(std::uint8_t New_Visible) {
  if (New_Visible == 0) {
    opaque_ = false;
    port_.CaptionChanged();
  } else {
    opaque_ = true;
    port_.CaptionChanged();
    RefreshLook();
  }
  Notify("Visible");
}

std::uint32_t Command::FontColour() {
  const std::uint32_t colour = label_.colour;
  RefreshLook();
  return colour;
}

void Command::FontColour(std::uint32_t New_FontColour) {
  label_.colour = New_FontColour;
  port_.CaptionChanged();
  RefreshLook();
  Notify("FontColour");
}

bool Command::Enabled() {
  if (firstRun_ == 0) {
    RefreshLook();
    firstRun_ = 1;
    enabledFlag_ = -1;
  }
  const bool enabled = enabledFlag_ != 0;
  ShowEnabledLook();
  return enabled;
}

void Command::Enabled(bool New_Enabled) {
  enabledFlag_ = New_Enabled ? -1 : 0;
  Notify("Enabled");
  ShowEnabledLook();
}

void Command::Caption(const std::string& New_Caption) {
  label_.text = New_Caption;
  port_.CaptionChanged();
  Notify("Caption");
}

void Command::Font(const CaptionFont& New_Font) {
  label_.font = New_Font;
  port_.CaptionChanged();
  Notify("Font");
}

// ---- internal operations ----

void Command::Notify(const char* name) {
  if (PropertyChanged) PropertyChanged(name);
}

void Command::DrawFace(FaceId face) {
  label_.place = sorvane::saver::DrawFace(canvas_, faces_[face], buttonState_, faceInverted_, width_, height_,
                                          label_.place.height);
  port_.CaptionChanged();
}

void Command::LeaveHover() {
  if (enabledFlag_ == 0) return;
  if (buttonState_ == 2) {
    buttonState_ = 1;
    DrawFace(FaceId::Normal);
  }
  if (buttonState_ == 4) {
    buttonState_ = 3;
    DrawFace(FaceId::Selected);
  }
}

void Command::ShowEnabledLook() {
  if (enabledFlag_ != 0) {
    DrawFace(FaceId::Normal);
    label_.enabledLook = true;
  } else {
    DrawFace(FaceId::Disable);
    label_.enabledLook = false;
  }
  port_.CaptionChanged();
}

void Command::RefreshLook() {
  if (enabledFlag_ == 0) return;
  label_.enabledLook = true;
  if (firstRun_ == 0) label_.colour = 0;
  DrawFace(FaceId::Normal);
}

// ---- notifications ----

void Command::UserControl_MouseMove(int, int, double, double) {
  if (enabledFlag_ == 0) return;
  if (buttonState_ == 1) {
    buttonState_ = 2;
    DrawFace(FaceId::HighLight);
  }
  if (buttonState_ == 3 && !mouseHeld_) {
    buttonState_ = 4;
    DrawFace(FaceId::HighLightSelect);
  }
}

void Command::UserControl_MouseDown(int button, int, double, double) {
  pressedHere_ |= button;
  if (enabledFlag_ == 0) return;
  if (button == kLeftButton) {
    DrawFace(FaceId::Pressed);
    mouseHeld_ = true;
  }
}

void Command::UserControl_MouseUp(int button, int, double, double) {
  // A press made elsewhere (on a label, then dragged here) is no click.
  const bool pressedHere = (pressedHere_ & button) != 0;
  pressedHere_ &= ~button;
  if (enabledFlag_ == 0) return;
  if (button == kLeftButton) {
    mouseHeld_ = false;
    if (buttonState_ == 2) DrawFace(FaceId::Normal);
    if (buttonState_ == 4) DrawFace(FaceId::HighLightSelect);
  }
  // Last step: the container's handler may close the window that holds this button.
  if (pressedHere && buttonState_ != 3 && enabledFlag_ == -1 && Click) Click();
}

void Command::UserControl_GotFocus() {
  if (enabledFlag_ == 0) return;
  if (buttonState_ != 2) {
    buttonState_ = 3;
    DrawFace(FaceId::Selected);
  } else {
    buttonState_ = 4;
    DrawFace(FaceId::Pressed);
  }
}

void Command::UserControl_LostFocus() {
  if (enabledFlag_ == 0) return;
  if (buttonState_ != 1) {
    buttonState_ = 1;
    DrawFace(FaceId::Normal);
  }
}

void Command::UserControl_Resize(int widthTwips, int heightTwips) {
  width_ = widthTwips;
  height_ = heightTwips;
  ShowEnabledLook();
}

void Command::TmrMouse_Timer() {
  if (!timerOn_) return;
  const auto pos = port_.CursorPos();
  if (!pos) return;  // no position, no verdict: the next tick asks again
  const WindowId under = port_.WindowAt(*pos);
  const WindowId own = port_.OwnWindow();
  const WindowId parent = port_.ParentWindow();
  if (under == parent || (under != own && under != parent)) LeaveHover();
}

// ---- stored properties ----

void Command::UserControl_ReadProperties(const PropertyBag& bag) {
  if (auto b = AsBool(ReadProperty(bag, "Enabled", true))) enabledFlag_ = *b ? -1 : 0;
  if (auto t = AsText(ReadProperty(bag, "Caption", std::string("Command1")))) label_.text = *t;
  {
    const PropertyValue v = ReadProperty(bag, "Font", port_.ContainerFont());
    if (auto f = std::get_if<CaptionFont>(&v)) label_.font = *f;
  }
  if (auto n = AsWhole(ReadProperty(bag, "FirstRun", std::string("1")), 0, 255)) firstRun_ = std::uint8_t(*n);
  if (auto n = AsWhole(ReadProperty(bag, "FontColour", std::string("0")), -2147483648.0, 4294967295.0))
    label_.colour = std::uint32_t(*n);
  if (auto n = AsWhole(ReadProperty(bag, "Visible", std::string("1")), -32768, 32767)) {
    if (*n == 0 || *n == 1) opaque_ = *n == 1;  // other values are no surface style
  }
  port_.CaptionChanged();
  RefreshLook();
}

void Command::UserControl_WriteProperties(PropertyBag& bag) {
  WriteProperty(bag, "Enabled", Enabled(), true);
  WriteProperty(bag, "Caption", Caption(), std::string("Command"));
  WriteProperty(bag, "FirstRun", std::int64_t(firstRun_), std::string("1"));
  const CaptionFont container = port_.ContainerFont();
  WriteProperty(bag, "Font", Font(), container);
  WriteProperty(bag, "FontColour", std::int64_t(FontColour()), std::string("0"));
  WriteProperty(bag, "Visible", std::int64_t(opaque_ ? 1 : 0), std::string("1"));
  RefreshLook();
}

}  // namespace sorvane::saver
