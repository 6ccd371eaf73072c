// Sorvane.scr /c end to end: the test plays the operating system, starts the saver
// in a folder of its own, drives the dialog with real mouse and keyboard input and
// reads back the screen and the settings file's bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "e2e_common.h"
#include "os_driver.h"
#include "saver/dialog/dialog_model.h"
#include "saver/dialog/tests/expected_texts.h"

namespace sorvane::e2e {
namespace {

using saver::GradientRows;
using saver::GradientStyle;
using saver::PanelChildOnForm;
using saver::PixelBox;
using saver::TwipRect;
namespace layout = saver::layout;

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

void Settle() { PumpFor(250); }

void Click(int x, int y, bool right = false) {
  SetCursorPos(x, y);
  PumpFor(50);
  if (!right) {
    ClickAt(x, y);
  } else {
    INPUT in[2] = {};
    in[0].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    in[1] = in[0];
    in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, in, sizeof(INPUT));
  }
  Settle();
}

void Type(const std::string& ascii) {
  for (char c : ascii) {
    const SHORT v = VkKeyScanA(c);
    if (v != -1) PressKey(LOBYTE(v));
    PumpFor(40);
  }
}

// The combo's text as the window itself answers (GetWindowText would not ask another process).
std::string TextOf(HWND w) {
  char text[64] = {};
  SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

uint32_t PixelAt(int x, int y) { return CaptureScreen(RECT{x, y, x + 1, y + 1}).At(0, 0); }

// Whether a Command button shows itself enabled: its caption is black then, and
// greyed when disabled (the window itself stays enabled either way). The face
// has no pixel near black away from its frame.
bool ButtonLooksEnabled(HWND button) {
  RECT r{};
  GetWindowRect(button, &r);
  const Capture c = CaptureScreen(r);
  for (int y = 3; y < c.height - 3; ++y)
    for (int x = 3; x < c.width - 3; ++x) {
      const uint32_t p = c.At(x, y);
      if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 150) return true;
    }
  return false;
}

// The three key lines as the saver writes them (code page 932 keys).
std::string Ini(const std::string& kind, const std::string& repeat, const std::string& file) {
  return "[Section]\r\nBGM\x8b\xe6\x95\xaa=" + kind + "\r\nBGM\xd8\xcb\xdf\xb0\xc4=" + repeat +
         "\r\nBGM\xcc\xa7\xb2\xd9=" + file + "\r\n";
}

// Wine draws the caption and the close box itself when no window manager does.
class DecoratedByWine {
 public:
  DecoratedByWine() {
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key_, nullptr);
    char old[16] = {};
    DWORD size = sizeof old, type = 0;
    had_ = RegQueryValueExA(key_, "Decorated", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
           ERROR_SUCCESS;
    old_ = old;
    RegSetValueExA(key_, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  }
  ~DecoratedByWine() {
    if (had_)
      RegSetValueExA(key_, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                     static_cast<DWORD>(old_.size() + 1));
    else
      RegDeleteValueA(key_, "Decorated");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  bool had_ = false;
  std::string old_;
};

class DialogE2E : public ScrCase {
 protected:
  void SetUp() override {
    ScrCase::SetUp();
    folder_ = std::make_unique<CaseFolder>(
        std::string("dialog-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(folder_->Copy("Sorvane.scr", "Sorvane.scr"));
    // /c looks for the engine next to the program before it opens the dialog.
    WriteBytes(folder_->File("Sorvane.dll"), "engine");
  }
  void TearDown() override {
    saver_.reset();
    folder_.reset();
    ScrCase::TearDown();
  }
  std::string IniPath() const { return folder_->File("Sorvane.ini"); }
  void WriteIni(const std::string& bytes) const { WriteBytes(IniPath(), bytes); }
  std::string ReadIni() const { return ReadFileBytes(IniPath()); }

  // Starts /c and waits for the dialog with everything on it.
  void Start() {
    saver_ = std::make_unique<Process>(StartScr(*folder_, "/c"));
    ASSERT_TRUE(saver_->started());
    form_ = WaitForWindow(kDialogMarker, kStartTimeoutMs);
    ASSERT_NE(form_, nullptr) << "no settings dialog";
    // The window exists from its creation on; it shows once its load has run.
    for (int i = 0; i < 200 && !IsWindowVisible(form_); ++i) PumpFor(50);
    ASSERT_TRUE(IsWindowVisible(form_));
    panel_ = FindWindowExA(form_, nullptr, saver::kPanelClassName, nullptr);
    ASSERT_NE(panel_, nullptr);
    for (const ChildWindow& c : ListChildren(form_)) {
      if (c.class_name == "ComboBox") combo_ = c.hwnd;
      if (c.class_name != "Sorvane.Command") continue;
      if (c.text == saver::expected::kBrowse) browse_ = c.hwnd;
      if (c.text == saver::expected::kSet) set_ = c.hwnd;
      if (c.text == saver::expected::kCancel) cancel_ = c.hwnd;
    }
    ASSERT_TRUE(combo_ && browse_ && set_ && cancel_);
    PumpFor(500);  // the first paint
  }

  // Screen point at the centre of a rectangle of the panel.
  POINT OnPanel(const TwipRect& r) const {
    const PixelBox p = PanelChildOnForm(r, 15, 15);
    POINT pt{p.left + p.width / 2, p.top + p.height / 2};
    ClientToScreen(form_, &pt);
    return pt;
  }
  void ClickOnPanel(const TwipRect& r, bool right = false) {
    const POINT p = OnPanel(r);
    Click(p.x, p.y, right);
  }
  void ClickWindow(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // Which marks show the selected picture (blue centre), read from the screen.
  int SelectedMark() {
    int selected = -1, count = 0;
    for (int i = 0; i < 3; ++i) {
      const PixelBox m = PanelChildOnForm(layout::Img_BGM[i], 15, 15);
      POINT c{m.left + 6, m.top + 6};
      ClientToScreen(form_, &c);
      const uint32_t px = PixelAt(c.x, c.y);
      const int r = (px >> 16) & 0xFF, b = px & 0xFF;
      if (b > r + 60) selected = i, ++count;
    }
    return count == 1 ? selected : (count == 0 ? -1 : -2);
  }
  void PressSetAndWait() {
    ClickWindow(set_);
    ASSERT_TRUE(saver_->WaitExit(10000)) << "the dialog did not close";
    form_ = nullptr;
  }

  std::unique_ptr<CaseFolder> folder_;
  std::unique_ptr<Process> saver_;
  HWND form_ = nullptr, panel_ = nullptr, combo_ = nullptr;
  HWND browse_ = nullptr, set_ = nullptr, cancel_ = nullptr;
};

TEST_F(DialogE2E, OpensInPlaceWithTheStoredCdChoice) {
  DecoratedByWine decorated;
  WriteIni(Ini("1", "5", ""));
  Start();
  RECT w{}, c{};
  GetWindowRect(form_, &w);
  GetClientRect(form_, &c);
  EXPECT_EQ(c.right, 479);
  EXPECT_EQ(c.bottom, 252);
  const saver::PixelPoint at =
      saver::DialogPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            w.right - w.left, w.bottom - w.top, 15, 15);
  EXPECT_EQ(w.left, at.x);
  EXPECT_EQ(w.top, at.y);

  EXPECT_EQ(SelectedMark(), 1);
  EXPECT_TRUE(IsWindowEnabled(combo_));
  EXPECT_EQ(TextOf(combo_), "5");
  EXPECT_FALSE(ButtonLooksEnabled(browse_));

  // The gradient on screen: the form's left margin at its top, middle and bottom rows.
  POINT o{0, 0};
  ClientToScreen(form_, &o);
  const std::vector<uint32_t> rows = GradientRows(252, 15, GradientStyle::Form);
  for (int y : {0, 126, 251}) {
    const uint32_t px = PixelAt(o.x + 4, o.y + y);
    const uint32_t want = rows[y];  // 0x00BBGGRR against the screen's 0x00RRGGBB
    EXPECT_EQ(px, ((want & 0xFF) << 16) | (want & 0xFF00) | ((want >> 16) & 0xFF)) << "row " << y;
  }

  // The whole window as a person sees it, for looking at.
  EXPECT_TRUE(CaptureScreen(w).SaveBmp(BinFolder() + "\\..\\dialog-screenshot.bmp"));
}

TEST_F(DialogE2E, LabelClicksSelectKindsAndTypedRepeatIsSaved) {
  Start();  // no settings file yet: no music
  EXPECT_EQ(SelectedMark(), 0);
  EXPECT_FALSE(IsWindowEnabled(combo_));
  ClickOnPanel(layout::lbl_BGM[2]);  // "MP3、WAV"
  EXPECT_EQ(SelectedMark(), 2);
  EXPECT_TRUE(ButtonLooksEnabled(browse_));
  EXPECT_FALSE(IsWindowEnabled(combo_));
  ClickOnPanel(layout::lbl_BGM[1], /*right=*/true);  // "音楽CD", any button
  EXPECT_EQ(SelectedMark(), 1);
  EXPECT_FALSE(ButtonLooksEnabled(browse_));
  ASSERT_TRUE(IsWindowEnabled(combo_));

  // Type into the combo's field.
  RECT cr{};
  GetWindowRect(combo_, &cr);
  Click(cr.left + 10, cr.top + 10);
  PressKey(VK_END);
  PressKey(VK_BACK);
  PressKey(VK_BACK);
  Type("7");
  EXPECT_EQ(TextOf(combo_), "7");

  PressSetAndWait();
  EXPECT_EQ(ReadIni(), Ini("1", "7", ""));
}

TEST_F(DialogE2E, CancelAndTheCloseBoxWriteNothing) {
  DecoratedByWine decorated;
  const std::string before = Ini("1", "3", "");
  WriteIni(before);
  Start();
  ClickOnPanel(layout::lbl_BGM[0]);
  EXPECT_EQ(SelectedMark(), 0);
  ClickWindow(cancel_);
  ASSERT_TRUE(saver_->WaitExit(10000));
  EXPECT_EQ(ReadIni(), before);

  Start();
  ClickOnPanel(layout::Img_BGM[2]);
  RECT w{};
  GetWindowRect(form_, &w);
  // The close box: the right end of the caption, found by asking the window itself.
  POINT box{-1, -1};
  for (int x = w.right - 2; x > w.right - 60 && box.x < 0; --x)
    for (int y = w.top + 2; y < w.top + 30; ++y)
      if (SendMessageA(form_, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
        box = POINT{x - 4, y + 4};
        break;
      }
  ASSERT_GE(box.x, 0) << "no close box";
  Click(box.x, box.y);
  ASSERT_TRUE(saver_->WaitExit(10000));
  EXPECT_EQ(ReadIni(), before);
}

TEST_F(DialogE2E, FileChosenInTheFileDialogSurvivesALaterCancel) {
  const std::string music = folder_->File("song.wav");
  WriteBytes(music, "RIFF");
  Start();
  ClickOnPanel(layout::lbl_BGM[2]);
  ASSERT_TRUE(ButtonLooksEnabled(browse_));

  const char* title = saver::expected::kFileDialogTitle;
  ClickWindow(browse_);
  HWND chooser = WaitForWindow(title, 10000, "#32770");
  ASSERT_NE(chooser, nullptr) << "no file dialog";
  // The file-name field (cmb13 or edt1), then the Open button.
  HWND name = GetDlgItem(chooser, 0x47c);
  if (!name) name = GetDlgItem(chooser, 0x480);
  ASSERT_NE(name, nullptr);
  SetWindowTextA(name, music.c_str());
  ClickWindow(GetDlgItem(chooser, IDOK));
  for (int i = 0; i < 100 && IsWindow(chooser); ++i) PumpFor(50);
  ASSERT_FALSE(IsWindow(chooser));

  ClickWindow(browse_);
  chooser = WaitForWindow(title, 10000, "#32770");
  ASSERT_NE(chooser, nullptr);
  ClickWindow(GetDlgItem(chooser, IDCANCEL));
  for (int i = 0; i < 100 && IsWindow(chooser); ++i) PumpFor(50);
  ASSERT_FALSE(IsWindow(chooser));

  PressSetAndWait();
  EXPECT_EQ(ReadIni(), Ini("2", "0", music));
}

TEST_F(DialogE2E, FileKindWithoutAFileIsReadBackAsNoMusic) {
  WriteIni(Ini("1", "4", ""));
  Start();
  ClickOnPanel(layout::lbl_BGM[2]);
  PressSetAndWait();
  EXPECT_EQ(ReadIni(), Ini("2", "4", ""));

  Start();
  EXPECT_EQ(SelectedMark(), 0);
  EXPECT_FALSE(ButtonLooksEnabled(browse_));
  EXPECT_FALSE(IsWindowEnabled(combo_));
  EXPECT_EQ(TextOf(combo_), "4");
  ClickWindow(cancel_);
  EXPECT_TRUE(saver_->WaitExit(10000));
}

// The settings file held by another program (a read-only attribute does not stop
// Wine when it runs as root): 設定 names the file in a message and the dialog stays.
TEST_F(DialogE2E, SaveThatCannotWriteSaysSoAndKeepsTheDialog) {
  const std::string before = Ini("0", "0", "");
  WriteIni(before);
  HANDLE held = CreateFileA(IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Start();
  ClickOnPanel(layout::lbl_BGM[1]);
  ClickWindow(set_);

  HWND box = WaitForWindow(kAppTitle, 10000, "#32770");
  ASSERT_NE(box, nullptr) << "no message";
  bool named = false, japanese = false;
  for (const ChildWindow& c : ListChildren(box)) {
    named = named || c.text.find(IniPath()) != std::string::npos;
    japanese = japanese || c.text.find(saver::kTextSaveFailed) != std::string::npos;
  }
  RECT shown{};
  GetWindowRect(box, &shown);
  EXPECT_TRUE(CaptureScreen(shown).SaveBmp(BinFolder() + "\\..\\save-failure-message.bmp"));
  EXPECT_TRUE(named) << "the message does not name " << IniPath();
  EXPECT_TRUE(japanese);
  EXPECT_TRUE(IsWindow(form_));
  EXPECT_TRUE(saver_->Running());
  // Only the holder can read it now.
  char bytes[256] = {};
  DWORD n = 0;
  SetFilePointer(held, 0, nullptr, FILE_BEGIN);
  ASSERT_TRUE(ReadFile(held, bytes, sizeof bytes, &n, nullptr));
  EXPECT_EQ(std::string(bytes, n), before);

  // Dismissed, the dialog is still there; once the file is free the same choice saves.
  ClickWindow(GetDlgItem(box, IDOK));
  for (int i = 0; i < 100 && IsWindow(box); ++i) PumpFor(50);
  ASSERT_FALSE(IsWindow(box));
  ASSERT_TRUE(IsWindowVisible(form_));
  CloseHandle(held);
  PressSetAndWait();
  EXPECT_EQ(ReadIni(), Ini("1", "0", ""));
}

// Hostile hands: a press on the "無し" label dragged onto 設定 and released there
// saves nothing and closes nothing; the keys then work as in any dialog: Tab
// walks to the file button, Shift+Tab back, Escape closes and writes nothing.
TEST_F(DialogE2E, DragOntoAButtonIsNoClickAndTabAndEscapeWorkAsInAnyDialog) {
  WriteIni(Ini("2", "0", ""));
  Start();
  SetForegroundWindow(form_);
  Settle();
  const auto mouse = [](DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof(INPUT));
    PumpFor(80);
  };
  const POINT none = OnPanel(layout::lbl_BGM[0]);
  RECT set{};
  GetWindowRect(set_, &set);
  SetCursorPos(none.x, none.y);
  PumpFor(80);
  mouse(MOUSEEVENTF_LEFTDOWN);
  for (int step = 1; step <= 8; ++step) {
    SetCursorPos(none.x + ((set.left + set.right) / 2 - none.x) * step / 8,
                 none.y + ((set.top + set.bottom) / 2 - none.y) * step / 8);
    PumpFor(40);
  }
  mouse(MOUSEEVENTF_LEFTUP);
  PumpFor(700);
  EXPECT_TRUE(IsWindow(form_)) << "a release after a press elsewhere closed the dialog";
  EXPECT_EQ(ReadIni(), Ini("2", "0", "")) << "a release after a press elsewhere saved";
  EXPECT_EQ(SelectedMark(), 0);  // the press itself chose "無し"
  EXPECT_FALSE(ButtonLooksEnabled(browse_));

  // The cursor away from the buttons, the focus walked by the keyboard.
  ClickOnPanel(layout::lbl_BGM[2]);  // "MP3、WAV": the file button comes on
  ASSERT_TRUE(ButtonLooksEnabled(browse_));
  const auto focusOf = [&] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(form_, nullptr), &info);
    return info.hwndFocus;
  };
  SetCursorPos(2, 2);
  SetForegroundWindow(form_);
  Settle();
  std::vector<HWND> walked;
  for (int i = 0; i < 5; ++i) {
    PressKey(VK_TAB);
    Settle();
    walked.push_back(focusOf());
  }
  HWND etc = nullptr;
  for (const ChildWindow& c : ListChildren(form_))
    if (c.text == saver::expected::kOtherWorks) etc = c.hwnd;
  ASSERT_NE(etc, nullptr);
  // From wherever it started, five Tabs visit the four enabled buttons in order
  // and come round again: the combo is off for the file kind.
  const std::vector<HWND> ring{browse_, etc, set_, cancel_};
  size_t at = std::find(ring.begin(), ring.end(), walked[0]) - ring.begin();
  ASSERT_LT(at, ring.size()) << "Tab did not move the focus to a button";
  for (size_t i = 0; i < walked.size(); ++i) EXPECT_EQ(walked[i], ring[(at + i) % ring.size()]) << i;
  INPUT shift[4] = {};
  for (INPUT& in : shift) in.type = INPUT_KEYBOARD;
  shift[0].ki.wVk = VK_SHIFT;
  shift[1].ki.wVk = VK_TAB;
  shift[2].ki.wVk = VK_TAB;
  shift[2].ki.dwFlags = KEYEVENTF_KEYUP;
  shift[3].ki.wVk = VK_SHIFT;
  shift[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, shift, sizeof(INPUT));
  Settle();
  EXPECT_EQ(focusOf(), ring[(at + 3) % ring.size()]);

  PressKey(VK_ESCAPE);
  ASSERT_TRUE(saver_->WaitExit(10000)) << "Escape did not close the dialog";
  EXPECT_EQ(ReadIni(), Ini("2", "0", ""));  // the kind chosen in the dialog was not saved
}

}  // namespace
}  // namespace sorvane::e2e
