// The settings dialog Sorvane_P without its window: layout, texts, the
// enabling rule, the repeat combo's contents, the save conversion, the
// background gradient and the event handlers, which drive the window
// through SettingsDialogPort. No OS headers here; the Win32 side lives in
// dialog_win32.cpp, tests drive the same handlers with a recording fake.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "saver/launcher/utilities.h"

namespace sorvane::saver {

// ---- Texts (code page 932 bytes) -------------------------------------------------

inline constexpr char kDialogCaption[] = "<Sorvane>";
inline constexpr char kDialogClassName[] = "Sorvane_P";
inline constexpr char kPanelClassName[] = "Sorvane_P.Pic_C";
inline constexpr char kHomepageAddress[] = "https://sorvane.example/";

inline constexpr char kTextBgm[] = "BGM";
inline constexpr char kTextMusicCd[] = "\x89\xb9\x8a\x79" "CD";                       // 音楽CD
inline constexpr char kTextRepeatTrack[] = "\x8b\xc8\x96\xda\x82\xf0\xd8\xcb\xdf\xb0\xc4";  // 曲目をﾘﾋﾟｰﾄ
inline constexpr char kTextNone[] = "\x96\xb3\x82\xb5";                                // 無し
inline constexpr char kTextMp3Wav[] = "MP3\x81\x41WAV";                                // MP3、WAV
inline constexpr char kTextBrowse[] = "...";
inline constexpr char kTextOtherWorks[] = "\x82\xbb\x82\xcc\x91\xbc\x82\xcc\x8d\xec\x95\x69";  // その他の作品
inline constexpr char kTextSet[] = "\x90\xdd\x92\xe8";                                 // 設定
inline constexpr char kTextCancel[] = "\xb7\xac\xdd\xbe\xd9";                          // ｷｬﾝｾﾙ
// Labels and buttons: ＭＳ Ｐゴシック 9.75 pt; the panel (and the combo on it): Tahoma 8.25 pt.
inline constexpr char kLabelFontFace[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
inline constexpr double kLabelFontPoints = 9.75;
inline constexpr char kPanelFontFace[] = "Tahoma";
inline constexpr double kPanelFontPoints = 8.25;
// The music-file chooser: filter "BGMﾌｧｲﾙ (MP3 WAV)" / "*.MP3;*.WAV", title "ﾌｧｲﾙを開く".
inline constexpr char kFileFilterName[] = "BGM\xcc\xa7\xb2\xd9 (MP3 WAV)";
inline constexpr char kFileFilterPattern[] = "*.MP3;*.WAV";
inline constexpr char kFileDialogTitle[] = "\xcc\xa7\xb2\xd9\x82\xf0\x8a\x4a\x82\xad";
// When the settings file cannot be written:
// "設定を保存できませんでした。次のﾌｧｲﾙに書き込めません:", the file's full path, then
// "ﾌｫﾙﾀﾞやﾌｧｲﾙが読み取り専用でないか、他のﾌﾟﾛｸﾞﾗﾑが使っていないか確かめてから、
//  もう一度「設定」を押してください。"
inline constexpr char kTextSaveFailed[] = "\x90\xdd\x92\xe8\x82\xf0\x95\xdb\x91\xb6\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42\x8e\x9f\x82\xcc\xcc\xa7\xb2\xd9\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x3a";
inline constexpr char kTextSaveFailedHint[] = "\xcc\xab\xd9\xc0\xde\x82\xe2\xcc\xa7\xb2\xd9\x82\xaa\x93\xc7\x82\xdd\x8e\xe6\x82\xe8\x90\xea\x97\x70\x82\xc5\x82\xc8\x82\xa2\x82\xa9\x81\x41\x91\xbc\x82\xcc\xcc\xdf\xdb\xb8\xde\xd7\xd1\x82\xaa\x8e\x67\x82\xc1\x82\xc4\x82\xa2\x82\xc8\x82\xa2\x82\xa9\x8a\x6d\x82\xa9\x82\xdf\x82\xc4\x82\xa9\x82\xe7\x81\x41\x82\xe0\x82\xa4\x88\xea\x93\x78\x81\x75\x90\xdd\x92\xe8\x81\x76\x82\xf0\x89\x9f\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";
std::string SaveFailureText(const std::string& settingsPath);

// The version the build stamps in (project() in the top CMakeLists.txt); the
// credits line shows it.
#ifndef SORVANE_VERSION_TEXT
#error "SORVANE_VERSION_TEXT comes from the build"
#endif
// The credits line: product, version, credit. The only label not in black: white
// reads on the darker lower half of the form's gradient.
inline constexpr char kCreditsText[] = "Sorvane " SORVANE_VERSION_TEXT "  (C) Sorvane";
inline constexpr uint32_t kCreditsColour = 0x00FFFFFF;  // 0x00BBGGRR

// ---- Layout (twips) ----------------------------------------------------------------

struct TwipRect {
  int left, top, width, height;
};
struct PixelBox {
  int left, top, width, height;
  bool Contains(int x, int y) const {
    return x >= left && x < left + width && y >= top && y < top + height;
  }
};

namespace layout {
inline constexpr int kClientWidth = 7185;
inline constexpr int kClientHeight = 3780;
inline constexpr uint32_t kFormBackColour = 0x00C0C0C0;
inline constexpr uint32_t kPanelBackColour = 0x00E0E0E0;

// On the form.
inline constexpr TwipRect Pic_C{180, 240, 6795, 2535};
inline constexpr TwipRect Cmd_Etc{2880, 3000, 1875, 375};
inline constexpr TwipRect Cmd_Set{4800, 3000, 1095, 375};
inline constexpr TwipRect Cmd_Can{5940, 3000, 1035, 375};
inline constexpr TwipRect Img_Ra[2] = {{8040, 300, 180, 180}, {8040, 600, 180, 180}};
// The credits line, left of the buttons and level with them.
inline constexpr TwipRect lblCredits{180, 3060, 2640, 255};

// On the panel, relative to it. Rows are indexed like BgmKind: 0 none, 1 CD, 2 file;
// on screen the CD row is the top one.
inline constexpr TwipRect Shape3{300, 300, 1695, 315};
inline constexpr TwipRect lbl15{300, 360, 1665, 195};  // "BGM", centred
inline constexpr TwipRect Img_BGM[3] = {{300, 1140, 195, 195}, {300, 840, 195, 195}, {300, 1440, 195, 195}};
inline constexpr TwipRect lbl_BGM[3] = {{540, 1140, 345, 195}, {540, 840, 645, 195}, {540, 1440, 900, 195}};
inline constexpr TwipRect BGM_Repeat{1380, 780, 615, 300};
inline constexpr TwipRect lbl14{2040, 840, 990, 195};  // "曲目をﾘﾋﾟｰﾄ"
inline constexpr TwipRect Cmd_BGM{540, 1740, 435, 315};
inline constexpr TwipRect lbl_Fname{1020, 1740, 5355, 435};
}  // namespace layout

inline const char* KindLabelText(int kind) {
  static const char* const texts[3] = {kTextNone, kTextMusicCd, kTextMp3Wav};
  return kind >= 0 && kind < 3 ? texts[kind] : "";
}

// Twips per pixel for a screen resolution in dots per inch (15 at 96 dpi).
double TwipsPerPixel(int dotsPerInch);
// A twip rectangle in pixels: each edge and size to the nearest pixel.
PixelBox ToPixels(const TwipRect& r, double twipsPerPixelX, double twipsPerPixelY);
// A child of the panel in the form's client pixels.
PixelBox PanelChildOnForm(const TwipRect& child, double twipsPerPixelX, double twipsPerPixelY);
// Which option row (0..2) a mouse press at (x, y) in panel pixels selects, through its
// mark or its label; -1 when it hits neither.
int KindAt(int x, int y, double twipsPerPixelX, double twipsPerPixelY);

struct PixelPoint {
  int x, y;
};
// Where the dialog's window goes at load: centred across, one third of the free height
// down. Reckoned in twips like the form does, returned in pixels. Sizes are the screen's
// and the whole window's (borders and caption included), in pixels.
PixelPoint DialogPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                          double twipsPerPixelX, double twipsPerPixelY);

// ---- Rules ---------------------------------------------------------------------------

// Which controls a music kind enables. A kind outside 0..2 selects no mark and enables
// nothing.
struct Enabling {
  bool repeatEnabled = false;       // BGM_Repeat
  bool fileButtonEnabled = false;   // Cmd_BGM
  std::array<bool, 3> markSelected{};  // Img_BGM(i) shows the selected picture
};
Enabling EnablingFor(int kind);

// The repeat number as the combo shows it: no leading zeros, empty for 0.
std::string FormatRepeat(int value);
// The combo's 31 entries: "", "1" .. "30".
std::vector<std::string> RepeatEntries();
// The combo's text turned into BgmRepeat on save: a number goes to the nearest whole
// number (a half to the even neighbour); anything else, an empty text included, gives 0.
// A number outside the signed 16-bit range is no track a disc can hold, so it also gives
// 0 (no repeat) rather than a clipped or wrapped value.
int16_t RepeatFromText(const std::string& text);

// ---- Background gradient -------------------------------------------------------------

// Brightness v of the twip line y on a surface H twips high: nearest whole number to
// |sin(y / d)| * 220 with d = H / 3.142, a half to the even neighbour.
int GradientLevel(int y, double heightTwips);
// The colour (0x00BBGGRR) that each pixel row of a surface shows after the form has drawn
// one line per twip, top to bottom: the last twip line that falls into the row.
// The form's lines are (v, v, v + 30), the panel's (v + 30, v + 30, v + 30).
enum class GradientStyle { Form, Panel };
std::vector<uint32_t> GradientRows(int heightPixels, double twipsPerPixelY, GradientStyle style);

// ---- The dialog's handlers -----------------------------------------------------------

// What the handlers need from the window system and the rest of the program.
class SettingsDialogPort {
 public:
  virtual ~SettingsDialogPort() = default;
  enum class Pointer { Default, Hourglass };

  virtual void ScreenSize(int& width, int& height) = 0;      // pixels
  virtual void WindowSize(int& width, int& height) = 0;      // the whole window, pixels
  virtual void TwipsPerPixelXY(double& x, double& y) = 0;
  virtual void MoveWindowTo(int left, int top) = 0;           // screen pixels
  virtual void InitButtons(bool doInit, bool enable) = 0;     // every Command on the form
  virtual void SetRepeatEnabled(bool enabled) = 0;            // BGM_Repeat
  virtual void SetFileButtonEnabled(bool enabled) = 0;        // Cmd_BGM
  virtual void SetMark(int index, bool selected) = 0;         // Img_BGM(index) picture
  virtual void SetRepeatText(const std::string& text) = 0;
  virtual void AddRepeatEntry(const std::string& text) = 0;
  virtual std::string RepeatText() = 0;
  virtual void SetFileLabel(const std::string& text) = 0;     // lbl_Fname
  virtual bool CursorPosition(int& x, int& y) = 0;            // false when it cannot be read
  virtual void ZoomOpen() = 0;
  virtual void ZoomClose() = 0;
  virtual void SetPointer(Pointer pointer) = 0;               // application-wide
  // The common file dialog with the music filter; the chosen path, or nothing when
  // cancelled or failed.
  virtual std::optional<std::string> ChooseMusicFile() = 0;
  virtual void OpenAddress(const std::string& address) = 0;   // in the user's browser
  virtual bool SaveSettings() = 0;                            // false when a write failed
  // Shows a message (SaveFailureText) over the dialog; returns when it is dismissed.
  virtual void ShowSaveFailure(const std::string& text) = 0;
  virtual void Unload() = 0;                                  // close the dialog
};

// The music settings the dialog edits (BgmKind, BgmRepeat, BgmFile in the program).
struct MusicSettingsRef {
  int16_t* kind;
  int16_t* repeat;
  std::string* file;
};

class Sorvane_P {
 public:
  Sorvane_P(SettingsDialogPort& port, MusicSettingsRef settings, ZoomPoint& zoomOrigin)
      : port_(port), settings_(settings), zoomOrigin_(zoomOrigin) {}

  void Form_Load();
  void Form_Unload();
  void SelectKind(int kind);  // mouse down (any button) on Img_BGM(kind) or lbl_BGM(kind)
  void Cmd_BGM_Click();
  void Cmd_Set_Click();
  void Cmd_Can_Click();
  void Cmd_Etc_Click();

 private:
  void ApplyEnabling(int kind);

  SettingsDialogPort& port_;
  MusicSettingsRef settings_;
  ZoomPoint& zoomOrigin_;
};

}  // namespace sorvane::saver
