// The dialog's real window in this process (under Wine in the win64 build): its
// frame and controls, the buttons' state after load and what it paints. Clicks,
// saving and closing are driven end to end through Sorvane.scr (tests/e2e).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "command_window.h"
#include "saver/dialog/dialog_model.h"
#include "saver/dialog/dialog_win32.h"
#include "saver/dialog/tests/expected_texts.h"
#include "saver/settings/settings_store.h"
#include "saver/launcher/utilities.h"

namespace sorvane::saver {
namespace {

void Pump() {
  MSG msg;
  for (int round = 0; round < 5; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

std::string Text(HWND w) {
  char buf[512] = {};
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

std::string ClassOf(HWND w) {
  char buf[128] = {};
  GetClassNameA(w, buf, sizeof buf);
  return buf;
}

struct Child {
  HWND wnd;
  std::string cls, text;
};

BOOL CALLBACK CollectChild(HWND w, LPARAM p) {
  reinterpret_cast<std::vector<Child>*>(p)->push_back({w, ClassOf(w), Text(w)});
  return TRUE;
}

std::vector<Child> Children(HWND parent) {
  std::vector<Child> out;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND FindChild(HWND parent, const std::string& cls, const std::string& text = "") {
  for (const Child& c : Children(parent))
    if (_stricmp(c.cls.c_str(), cls.c_str()) == 0 && (text.empty() || c.text == text)) return c.wnd;
  return nullptr;
}

class DialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    folder_ = std::string(tmp) + "sorvane-dialog-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(folder_.c_str(), nullptr);
    ProgramFolder = folder_;
    DeleteFileA(SettingsPath().c_str());
  }
  void TearDown() override {
    if (dialog_) {
      if (IsWindow(form_)) SendMessageA(form_, WM_CLOSE, 0, 0);
      Pump();
      RunSettingsDialog(dialog_);  // returns at once for a closed dialog and frees it
    }
    DeleteFileA(SettingsPath().c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  void Open(int16_t kind, int16_t repeat, const std::string& file) {
    BgmKind = kind, BgmRepeat = repeat, BgmFile = file;
    dialog_ = OpenSettingsDialog();
    ASSERT_NE(dialog_, nullptr);
    form_ = SettingsDialogHandle(dialog_);
    Pump();
    panel_ = FindWindowExA(form_, nullptr, kPanelClassName, nullptr);
    combo_ = FindChild(panel_, "ComboBox");
    ASSERT_NE(panel_, nullptr);
    ASSERT_NE(combo_, nullptr);
  }

  COLORREF PixelOf(HWND w, int x, int y) {
    HDC dc = GetDC(w);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(w, dc);
    return c;
  }

  std::string folder_;
  SettingsDialogWindow* dialog_ = nullptr;
  HWND form_ = nullptr, panel_ = nullptr, combo_ = nullptr;
};

TEST_F(DialogWindowTest, FrameCaptionSizeAndControls) {
  Open(1, 5, "");
  EXPECT_EQ(Text(form_), "<Sorvane>");
  EXPECT_EQ(ClassOf(form_), kDialogClassName);
  EXPECT_EQ(FindWindowA(nullptr, "<Sorvane>"), form_);  // the instance marker of a second start
  RECT c{};
  GetClientRect(form_, &c);
  EXPECT_EQ(c.right, 479);
  EXPECT_EQ(c.bottom, 252);
  RECT p{};
  GetWindowRect(panel_, &p);
  POINT origin{0, 0};
  ClientToScreen(form_, &origin);
  EXPECT_EQ(p.left - origin.x, 12);
  EXPECT_EQ(p.top - origin.y, 16);
  EXPECT_EQ(p.right - p.left, 453);
  EXPECT_EQ(p.bottom - p.top, 169);
  // The four buttons, by their captions; Cmd_BGM sits on the panel.
  EXPECT_NE(FindChild(form_, "Sorvane.Command", expected::kOtherWorks), nullptr);
  EXPECT_NE(FindChild(form_, "Sorvane.Command", expected::kSet), nullptr);
  EXPECT_NE(FindChild(form_, "Sorvane.Command", expected::kCancel), nullptr);
  HWND browse = FindChild(panel_, "Sorvane.Command", expected::kBrowse);
  ASSERT_NE(browse, nullptr);
  RECT b{};
  GetWindowRect(browse, &b);
  EXPECT_EQ(b.right - b.left, 29);
  EXPECT_EQ(b.bottom - b.top, 21);
  // Every button was initialised at load; the file button is off for the CD kind
  // by its own flag (its window stays enabled, so its focus stays with it).
  ASSERT_NE(CommandWindow::FromWindow(browse), nullptr);
  EXPECT_EQ(CommandWindow::FromWindow(browse)->control().EnabledFlag(), 0);
  HWND set = FindChild(form_, "Sorvane.Command", expected::kSet);
  ASSERT_NE(CommandWindow::FromWindow(set), nullptr);
  EXPECT_NE(CommandWindow::FromWindow(set)->control().EnabledFlag(), 0);
  EXPECT_EQ(CommandWindow::FromWindow(set)->control().ButtonState(), 1);
  EXPECT_TRUE(CommandWindow::FromWindow(set)->control().TimerOn());
  // The combo: editable drop-down, as high as laid out, 31 entries.
  EXPECT_EQ(GetWindowLongA(combo_, GWL_STYLE) & 3, CBS_DROPDOWN);
  RECT cb{};
  GetWindowRect(combo_, &cb);
  EXPECT_EQ(cb.right - cb.left, 41);
  EXPECT_EQ(cb.bottom - cb.top, 20);
  ASSERT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 31);
  char entry[16] = {};
  SendMessageA(combo_, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry));
  EXPECT_STREQ(entry, "");
  SendMessageA(combo_, CB_GETLBTEXT, 30, reinterpret_cast<LPARAM>(entry));
  EXPECT_STREQ(entry, "30");
}

TEST_F(DialogWindowTest, PaintsTheGradientsAndTheMarks) {
  Open(1, 0, "");
  RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  const std::vector<uint32_t> form = GradientRows(252, 15, GradientStyle::Form);
  const std::vector<uint32_t> panel = GradientRows(169, 15, GradientStyle::Panel);
  // Form: top, middle (between panel and buttons there is no middle; use the left margin).
  EXPECT_EQ(PixelOf(form_, 3, 0), form[0]);
  EXPECT_EQ(PixelOf(form_, 3, 126), form[126]);
  EXPECT_EQ(PixelOf(form_, 3, 251), form[251]);
  // Panel: a column with nothing drawn on it.
  EXPECT_EQ(PixelOf(panel_, 440, 0), panel[0]);
  EXPECT_EQ(PixelOf(panel_, 440, 84), panel[84]);
  EXPECT_EQ(PixelOf(panel_, 440, 100), panel[100]);
  // The CD mark differs from the unselected ones (blue centre), the two others agree.
  const PixelBox cd = ToPixels(layout::Img_BGM[1], 15, 15);
  const PixelBox none = ToPixels(layout::Img_BGM[0], 15, 15);
  const PixelBox file = ToPixels(layout::Img_BGM[2], 15, 15);
  const COLORREF cdCentre = PixelOf(panel_, cd.left + 6, cd.top + 6);
  const COLORREF noneCentre = PixelOf(panel_, none.left + 6, none.top + 6);
  EXPECT_EQ(noneCentre, PixelOf(panel_, file.left + 6, file.top + 6));
  EXPECT_NE(cdCentre, noneCentre);
  EXPECT_GT(GetBValue(cdCentre), GetRValue(cdCentre));
  // Labels are black text over the gradient: "音楽CD" has dark pixels in its box.
  const PixelBox label = ToPixels(layout::lbl_BGM[1], 15, 15);
  int dark = 0;
  for (int y = label.top; y < label.top + label.height; ++y)
    for (int x = label.left; x < label.left + label.width; ++x) {
      const COLORREF c = PixelOf(panel_, x, y);
      if (GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80) ++dark;
    }
  EXPECT_GT(dark, 20);
}


// Keys as in any dialog: Tab and Shift+Tab walk the enabled controls and wrap,
// Escape closes as the cancel button does and writes nothing. A button whose own
// flag is off is passed over, and disabling it keeps its focus and state in step.
TEST_F(DialogWindowTest, TabWalksTheControlsEscapeCancelsAndDisablingKeepsFocusInStep) {
  Open(1, 5, "");
  HWND browse = FindChild(panel_, "Sorvane.Command", expected::kBrowse);
  HWND etc = FindChild(form_, "Sorvane.Command", expected::kOtherWorks);
  HWND set = FindChild(form_, "Sorvane.Command", expected::kSet);
  HWND cancel = FindChild(form_, "Sorvane.Command", expected::kCancel);
  ASSERT_TRUE(browse && etc && set && cancel);
  const auto key = [&](WPARAM vk, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND focus = GetFocus();
    MSG msg{focus ? focus : form_, WM_KEYDOWN, vk, 0, 0, {0, 0}};
    const bool taken = SettingsDialogKey(dialog_, msg);
    Pump();
    return taken;
  };
  const auto focused = [](HWND w) { return GetFocus() == w || IsChild(w, GetFocus()); };
  const auto walk = [&](bool shift, int steps) {
    std::vector<HWND> seen;
    for (int i = 0; i < steps; ++i) {
      EXPECT_TRUE(key(VK_TAB, shift));
      for (HWND w : {combo_, browse, etc, set, cancel})
        if (focused(w)) seen.push_back(w);
    }
    return seen;
  };
  SetFocus(set);
  Pump();
  // CD kind: the file button is off and skipped.
  EXPECT_EQ(walk(false, 5), (std::vector<HWND>{cancel, combo_, etc, set, cancel}));
  EXPECT_EQ(walk(true, 4), (std::vector<HWND>{set, etc, combo_, cancel}));

  // File kind (a press on "MP3、WAV"): the combo is off, the file button on.
  const PixelBox mp3 = ToPixels(layout::lbl_BGM[2], 15, 15);
  const PixelBox none = ToPixels(layout::lbl_BGM[0], 15, 15);
  const auto press = [&](const PixelBox& at) {
    SendMessageA(panel_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.left + 3, at.top + 3));
    SendMessageA(panel_, WM_LBUTTONUP, 0, MAKELPARAM(at.left + 3, at.top + 3));
    Pump();
  };
  press(mp3);
  EXPECT_EQ(walk(false, 4), (std::vector<HWND>{browse, etc, set, cancel}));
  // Focus on the file button, then the "無し" option disables it and "MP3、WAV"
  // enables it again: the focus never left, and the control knows it has it.
  SetFocus(browse);
  Pump();
  Command& control = CommandWindow::FromWindow(browse)->control();
  for (int round = 0; round < 3; ++round) {
    press(none);
    EXPECT_EQ(control.EnabledFlag(), 0);
    press(mp3);
    EXPECT_NE(control.EnabledFlag(), 0);
    EXPECT_TRUE(focused(browse)) << round;
    EXPECT_TRUE(control.ButtonState() == 3 || control.ButtonState() == 4) << int(control.ButtonState());
  }
  key(VK_TAB, false);
  EXPECT_TRUE(focused(etc));
  EXPECT_EQ(control.ButtonState(), 1);

  // Enter and Space are no keys of the buttons or the dialog.
  SetFocus(set);
  EXPECT_FALSE(key(VK_RETURN, false));
  EXPECT_FALSE(key(VK_SPACE, false));
  EXPECT_TRUE(IsWindow(form_));
  EXPECT_TRUE(key(VK_ESCAPE, false));
  EXPECT_FALSE(IsWindow(form_));
  EXPECT_EQ(GetFileAttributesA(SettingsPath().c_str()), INVALID_FILE_ATTRIBUTES);
  key(VK_TAB, false);  // a closed dialog takes no keys
}

// The credits line: white text, left of the buttons, inside the form's free area.
TEST_F(DialogWindowTest, CreditsLineIsWhiteOnTheGradientBesideTheButtons) {
  Open(0, 0, "");
  RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  const PixelBox c = ToPixels(layout::lblCredits, 15, 15);
  const PixelBox etc = ToPixels(layout::Cmd_Etc, 15, 15);
  const PixelBox panel = ToPixels(layout::Pic_C, 15, 15);
  EXPECT_LE(c.left + c.width, etc.left);
  EXPECT_GE(c.top, panel.top + panel.height);
  int white = 0, rightmost = 0;
  for (int y = c.top; y < c.top + c.height; ++y)
    for (int x = c.left; x < etc.left; ++x)
      if (PixelOf(form_, x, y) == RGB(255, 255, 255)) ++white, rightmost = std::max(rightmost, x);
  EXPECT_GT(white, 60);
  EXPECT_LT(rightmost, etc.left - 2);  // the whole line fits before the first button
}

// Single-threaded while the guard lives, and undone after it.
TEST(ShellApartmentTest, SingleThreadedWhileItLives) {
  HRESULT during = E_FAIL, after = E_FAIL;
  APTTYPE type = APTTYPE_MTA, unused;
  APTTYPEQUALIFIER qualifier{};
  std::thread([&] {
    if (const ShellApartment guard; guard.Initialised()) during = CoGetApartmentType(&type, &qualifier);
    after = CoGetApartmentType(&unused, &qualifier);
  }).join();
  EXPECT_EQ(during, S_OK);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
  EXPECT_EQ(after, CO_E_NOTINITIALIZED);
}

}  // namespace
}  // namespace sorvane::saver
