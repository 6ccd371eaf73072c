#include "saver/dialog/dialog_model.h"

#include <cmath>

#include "saver/settings/numbers.h"
#include "saver/settings/settings_store.h"

namespace sorvane::saver {

double TwipsPerPixel(int dotsPerInch) {
  return dotsPerInch > 0 ? 1440.0 / dotsPerInch : 15.0;
}

namespace {
int ToPixel(double twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }
}  // namespace

PixelBox ToPixels(const TwipRect& r, double tppX, double tppY) {
  return {ToPixel(r.left, tppX), ToPixel(r.top, tppY), ToPixel(r.width, tppX),
          ToPixel(r.height, tppY)};
}

PixelBox PanelChildOnForm(const TwipRect& child, double tppX, double tppY) {
  PixelBox panel = ToPixels(layout::Pic_C, tppX, tppY);
  PixelBox c = ToPixels(child, tppX, tppY);
  c.left += panel.left;
  c.top += panel.top;
  return c;
}

int KindAt(int x, int y, double tppX, double tppY) {
  for (int i = 0; i < 3; ++i) {
    if (ToPixels(layout::Img_BGM[i], tppX, tppY).Contains(x, y) ||
        ToPixels(layout::lbl_BGM[i], tppX, tppY).Contains(x, y))
      return i;
  }
  return -1;
}

PixelPoint DialogPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                          double tppX, double tppY) {
  // Differences to whole twips first, then an integer division that drops the remainder
  // (towards zero, so a window larger than the screen is placed symmetrically).
  auto place = [](int screen, int window, double tpp, int divisor) {
    double diff = RoundHalfEven(screen * tpp - window * tpp);
    double twips = std::trunc(diff / divisor);
    return static_cast<int>(std::trunc(twips / tpp));
  };
  return {place(screenWidth, windowWidth, tppX, 2), place(screenHeight, windowHeight, tppY, 3)};
}

std::string SaveFailureText(const std::string& settingsPath) {
  return std::string(kTextSaveFailed) + "\n\n" + settingsPath + "\n\n" + kTextSaveFailedHint;
}

Enabling EnablingFor(int kind) {
  Enabling e;
  if (kind >= 0 && kind < 3) e.markSelected[kind] = true;
  e.repeatEnabled = kind == 1;
  e.fileButtonEnabled = kind == 2;
  return e;
}

std::string FormatRepeat(int value) { return FormatHashHash(value); }

std::vector<std::string> RepeatEntries() {
  std::vector<std::string> entries;
  for (int i = 0; i <= 30; ++i) entries.push_back(FormatRepeat(i));
  return entries;
}

int16_t RepeatFromText(const std::string& text) {
  double v = 0;
  if (!ParseGeneralNumber(text, &v)) return 0;
  int16_t out = 0;
  if (!RoundToInt16(v, &out)) return 0;
  return out;
}

int GradientLevel(int y, double heightTwips) {
  double d = heightTwips / 3.142;
  if (!(d > 0)) return 0;  // a surface without height: only the line at 0, sin(0) = 0
  return static_cast<int>(RoundHalfEven(std::fabs(std::sin(y / d)) * 220.0));
}

std::vector<uint32_t> GradientRows(int heightPixels, double tppY, GradientStyle style) {
  std::vector<uint32_t> rows;
  if (heightPixels <= 0 || !(tppY > 0)) return rows;
  const double heightTwips = heightPixels * tppY;
  const int lastLine = static_cast<int>(RoundHalfEven(heightTwips));
  rows.resize(heightPixels);
  for (int r = 0; r < heightPixels; ++r) {
    // Twip line y lands on pixel row floor(y / tpp); the row keeps the last one drawn.
    int y = static_cast<int>(std::ceil((r + 1) * tppY)) - 1;
    if (y > lastLine) y = lastLine;
    const uint32_t v = static_cast<uint32_t>(GradientLevel(y, heightTwips));
    const uint32_t red = style == GradientStyle::Form ? v : v + 30;
    const uint32_t blue = v + 30;
    rows[r] = red | (red << 8) | (blue << 16);
  }
  return rows;
}

// ---- Handlers --------------------------------------------------------------------------

void Sorvane_P::ApplyEnabling(int kind) {
  const Enabling e = EnablingFor(kind);
  port_.SetRepeatEnabled(false);
  port_.SetFileButtonEnabled(false);
  for (int i = 0; i < 3; ++i) port_.SetMark(i, false);
  for (int i = 0; i < 3; ++i)
    if (e.markSelected[i]) port_.SetMark(i, true);
  if (e.repeatEnabled) port_.SetRepeatEnabled(true);
  if (e.fileButtonEnabled) port_.SetFileButtonEnabled(true);
}

void Sorvane_P::Form_Load() {
  int sw = 0, sh = 0, ww = 0, wh = 0;
  double tx = 15, ty = 15;
  port_.ScreenSize(sw, sh);
  port_.WindowSize(ww, wh);
  port_.TwipsPerPixelXY(tx, ty);
  const PixelPoint at = DialogPosition(sw, sh, ww, wh, tx, ty);
  port_.MoveWindowTo(at.x, at.y);

  port_.InitButtons(true, true);
  ApplyEnabling(*settings_.kind);
  port_.SetRepeatText(FormatRepeat(*settings_.repeat));
  for (const std::string& entry : RepeatEntries()) port_.AddRepeatEntry(entry);
  port_.SetFileLabel(*settings_.file);

  int cx = 0, cy = 0;
  if (port_.CursorPosition(cx, cy)) {
    zoomOrigin_.x = static_cast<int16_t>(cx);
    zoomOrigin_.y = static_cast<int16_t>(cy);
  } else {
    zoomOrigin_ = ZoomPoint{};
  }
  port_.ZoomOpen();
  port_.SetPointer(SettingsDialogPort::Pointer::Default);
}

void Sorvane_P::Form_Unload() { port_.ZoomClose(); }

void Sorvane_P::SelectKind(int kind) {
  *settings_.kind = static_cast<int16_t>(kind);
  ApplyEnabling(kind);
}

void Sorvane_P::Cmd_BGM_Click() {
  std::optional<std::string> chosen = port_.ChooseMusicFile();
  if (!chosen) return;
  *settings_.file = *chosen;
  port_.SetFileLabel(*settings_.file);
}

void Sorvane_P::Cmd_Set_Click() {
  *settings_.repeat = RepeatFromText(port_.RepeatText());
  // A failed write keeps the dialog open, so the user can remove the cause and
  // press it again, or cancel; closing would silently lose the choice.
  if (!port_.SaveSettings()) {
    port_.ShowSaveFailure(SaveFailureText(SettingsPath()));
    return;
  }
  port_.Unload();
}

void Sorvane_P::Cmd_Can_Click() { port_.Unload(); }

void Sorvane_P::Cmd_Etc_Click() {
  port_.SetPointer(SettingsDialogPort::Pointer::Hourglass);
  port_.OpenAddress(kHomepageAddress);
  port_.SetPointer(SettingsDialogPort::Pointer::Default);
}

}  // namespace sorvane::saver
