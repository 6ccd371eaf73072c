// The dialog's rules and handlers, driven through a recording fake window.
#include "saver/dialog/dialog_model.h"
#include "saver/dialog/tests/expected_texts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace sorvane::saver {
namespace {

using ::testing::ElementsAre;

// Records every call in order as a short line; answers as the test sets it up.
class FakePort : public SettingsDialogPort {
 public:
  std::vector<std::string> calls;
  int screenW = 1024, screenH = 768, windowW = 485, windowH = 277;
  double tpp = 15;
  bool cursorOk = true;
  int cursorX = 300, cursorY = 200;
  std::string repeatText;
  std::optional<std::string> chosenFile;
  // What the window shows, kept up to date from the calls.
  bool repeatEnabled = true, fileEnabled = true;
  bool marks[3] = {true, true, true};
  std::vector<std::string> entries;
  std::string fileLabel;

  void ScreenSize(int& w, int& h) override { w = screenW, h = screenH; }
  void WindowSize(int& w, int& h) override { w = windowW, h = windowH; }
  void TwipsPerPixelXY(double& x, double& y) override { x = y = tpp; }
  void MoveWindowTo(int l, int t) override { Log("move " + std::to_string(l) + "," + std::to_string(t)); }
  void InitButtons(bool doInit, bool enable) override {
    Log(std::string("init ") + (doInit ? "1" : "0") + (enable ? "1" : "0"));
  }
  void SetRepeatEnabled(bool e) override { repeatEnabled = e; Log(std::string("repeat ") + (e ? "on" : "off")); }
  void SetFileButtonEnabled(bool e) override { fileEnabled = e; Log(std::string("file ") + (e ? "on" : "off")); }
  void SetMark(int i, bool s) override { marks[i] = s; Log("mark " + std::to_string(i) + (s ? " on" : " off")); }
  void SetRepeatText(const std::string& t) override { repeatText = t; Log("text '" + t + "'"); }
  void AddRepeatEntry(const std::string& t) override { entries.push_back(t); }
  std::string RepeatText() override { return repeatText; }
  void SetFileLabel(const std::string& t) override { fileLabel = t; Log("label '" + t + "'"); }
  bool CursorPosition(int& x, int& y) override {
    x = cursorOk ? cursorX : 77;  // garbage on failure must not reach ZoomOrigin
    y = cursorOk ? cursorY : 77;
    return cursorOk;
  }
  void ZoomOpen() override { Log("zoom open"); }
  void ZoomClose() override { Log("zoom close"); }
  void SetPointer(Pointer p) override { Log(p == Pointer::Default ? "pointer default" : "pointer wait"); }
  std::optional<std::string> ChooseMusicFile() override { Log("choose"); return chosenFile; }
  void OpenAddress(const std::string& a) override { Log("open " + a); }
  bool saveSucceeds = true;
  bool SaveSettings() override { Log("save"); return saveSucceeds; }
  void ShowSaveFailure(const std::string& t) override { Log("message " + t); }
  void Unload() override { Log("unload"); }

  int SelectedMarks() const { return marks[0] + marks[1] + marks[2]; }

 private:
  void Log(const std::string& s) { calls.push_back(s); }
};

struct DialogFixture : ::testing::Test {
  int16_t kind = 0, repeat = 0;
  std::string file;
  ZoomPoint origin{5, 5};
  FakePort port;
  Sorvane_P dialog{port, MusicSettingsRef{&kind, &repeat, &file}, origin};

  // Saves kind/repeat/file as they stand when SaveSettings is called.
  void Load(int16_t k, int16_t r, const std::string& f) {
    kind = k, repeat = r, file = f;
    dialog.Form_Load();
  }
};

TEST_F(DialogFixture, LoadRunsItsStepsInOrder) {
  Load(1, 5, "C:\\m\\a.mp3");
  // 1024 - 485 = 539 px -> 8085 twips \ 2 = 4042 -> 269 px; (768 - 277) * 15 \ 3 -> 163 px.
  EXPECT_THAT(port.calls,
              ElementsAre("move 269,163", "init 11", "repeat off", "file off", "mark 0 off",
                          "mark 1 off", "mark 2 off", "mark 1 on", "repeat on", "text '5'",
                          "label 'C:\\m\\a.mp3'", "zoom open", "pointer default"));
  EXPECT_EQ(origin.x, 300);
  EXPECT_EQ(origin.y, 200);
}

TEST_F(DialogFixture, LoadShowsTheStoredKindAndKeepsAnUnknownOne) {
  // mark -1: a kind outside 0..2 selects no mark, enables nothing and is saved back as it was.
  struct Case { int16_t kind; bool repeat, file; int mark; };
  for (Case c : {Case{0, false, false, 0}, Case{1, true, false, 1}, Case{2, false, true, 2},
                 Case{3, false, false, -1}, Case{-1, false, false, -1}, Case{32767, false, false, -1}}) {
    FakePort p;
    int16_t k = c.kind, r = 0;
    std::string f;
    ZoomPoint o;
    Sorvane_P d(p, MusicSettingsRef{&k, &r, &f}, o);
    d.Form_Load();
    EXPECT_EQ(p.repeatEnabled, c.repeat) << "kind " << c.kind;
    EXPECT_EQ(p.fileEnabled, c.file) << "kind " << c.kind;
    EXPECT_EQ(p.SelectedMarks(), c.mark < 0 ? 0 : 1) << "kind " << c.kind;
    if (c.mark >= 0) {
      EXPECT_TRUE(p.marks[c.mark]) << "kind " << c.kind;
    }
    d.Cmd_Set_Click();
    EXPECT_EQ(k, c.kind);
  }
}

TEST_F(DialogFixture, ComboShowsRepeatWithHashPatternAndHolds31Entries) {
  Load(1, 0, "");
  EXPECT_EQ(port.repeatText, "");
  ASSERT_EQ(port.entries.size(), 31u);
  EXPECT_EQ(port.entries.front(), "");
  EXPECT_EQ(port.entries[1], "1");
  EXPECT_EQ(port.entries[9], "9");
  EXPECT_EQ(port.entries[10], "10");
  EXPECT_EQ(port.entries.back(), "30");
  EXPECT_EQ(FormatRepeat(12), "12");
  EXPECT_EQ(FormatRepeat(-3), "-3");
}

TEST_F(DialogFixture, SelectingEachKindKeepsTheEnablingRule) {
  Load(0, 0, "");
  for (int i : {1, 2, 0, 2, 1}) {
    port.calls.clear();
    dialog.SelectKind(i);
    EXPECT_EQ(kind, i);
    EXPECT_EQ(port.repeatEnabled, i == 1) << i;
    EXPECT_EQ(port.fileEnabled, i == 2) << i;
    EXPECT_EQ(port.SelectedMarks(), 1) << i;
    EXPECT_TRUE(port.marks[i]) << i;
    // Everything off first, then the chosen ones on: no moment with two controls live.
    EXPECT_EQ(port.calls[0], "repeat off");
    EXPECT_EQ(port.calls[1], "file off");
  }
  EXPECT_THAT(port.calls, ::testing::Not(::testing::Contains("save")));
}

TEST_F(DialogFixture, CursorUnreadableZoomsFromTheScreenCorner) {
  port.cursorOk = false;
  Load(0, 0, "");
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
}

TEST_F(DialogFixture, SaveConvertsTheComboTextThenSavesThenUnloads) {
  struct Case { const char* text; int16_t want; };
  for (Case c : {Case{"abc", 0}, Case{"7", 7}, Case{"2.5", 2}, Case{"3.5", 4}, Case{"", 0},
                 Case{"30", 30}, Case{" 12 ", 12}, Case{"-2", -2}, Case{"32767", 32767},
                 Case{"32768", 0}, Case{"99999999999", 0}, Case{"-32769", 0}, Case{"1e3", 0}}) {
    FakePort p;
    int16_t k = 0, r = 9;
    std::string f = "x.wav";
    ZoomPoint o;
    Sorvane_P d(p, MusicSettingsRef{&k, &r, &f}, o);
    p.repeatText = c.text;
    d.Cmd_Set_Click();
    EXPECT_EQ(r, c.want) << "'" << c.text << "'";
    EXPECT_THAT(p.calls, ElementsAre("save", "unload"));
    EXPECT_EQ(f, "x.wav");  // the path goes out whatever the kind
  }
}

TEST_F(DialogFixture, FailedSaveNamesTheFileAndKeepsTheDialogUntilASaveWorks) {
  // 表 ends in a 0x5C byte: the path must pass through unchanged.
  const std::string folder = "C:\\\xc3\xbd\xc4\\\x95\x5c";  // C:\ﾃｽﾄ\表
  const std::string saved_folder = ProgramFolder;
  ProgramFolder = folder;
  Load(1, 3, "");
  port.repeatText = "5";
  port.saveSucceeds = false;
  port.calls.clear();
  dialog.Cmd_Set_Click();
  dialog.Cmd_Set_Click();  // pressed again while the cause is still there
  const std::string message = "message " + std::string(kTextSaveFailed) + "\n\n" + folder +
                              "\\Sorvane.ini\n\n" + kTextSaveFailedHint;
  EXPECT_THAT(port.calls, ElementsAre("save", message, "save", message));
  EXPECT_EQ(repeat, 5);  // the choice stays in memory for the next try
  port.saveSucceeds = true;
  port.calls.clear();
  dialog.Cmd_Set_Click();
  EXPECT_THAT(port.calls, ElementsAre("save", "unload"));
  ProgramFolder = saved_folder;
}

TEST_F(DialogFixture, CancelWritesNothingAndKeepsTheRepeat) {
  Load(2, 4, "old.mp3");
  port.chosenFile = "new.mp3";
  dialog.Cmd_BGM_Click();
  port.repeatText = "11";
  port.calls.clear();
  dialog.Cmd_Can_Click();
  EXPECT_THAT(port.calls, ElementsAre("unload"));
  EXPECT_EQ(repeat, 4);
  dialog.Form_Unload();
  EXPECT_EQ(port.calls.back(), "zoom close");
}

TEST_F(DialogFixture, FileChooserReplacesPathOnlyWhenAFileWasChosen) {
  Load(2, 0, "C:\\old.wav");
  port.chosenFile = "C:\\new.mp3";
  dialog.Cmd_BGM_Click();
  EXPECT_EQ(file, "C:\\new.mp3");
  EXPECT_EQ(port.fileLabel, "C:\\new.mp3");
  port.chosenFile.reset();
  port.calls.clear();
  dialog.Cmd_BGM_Click();
  EXPECT_THAT(port.calls, ElementsAre("choose"));
  EXPECT_EQ(file, "C:\\new.mp3");
  EXPECT_EQ(port.fileLabel, "C:\\new.mp3");
}

TEST_F(DialogFixture, HomepageRunsUnderTheHourglass) {
  Load(0, 0, "");
  port.calls.clear();
  dialog.Cmd_Etc_Click();
  EXPECT_THAT(port.calls, ElementsAre("pointer wait", std::string("open ") + kHomepageAddress,
                                      "pointer default"));
}

TEST(DialogLayout, PixelsAt96DpiAndHitTesting) {
  const double t = TwipsPerPixel(96);
  EXPECT_EQ(t, 15);
  EXPECT_EQ(TwipsPerPixel(120), 12);
  PixelBox panel = ToPixels(layout::Pic_C, t, t);
  EXPECT_EQ(panel.left, 12);
  EXPECT_EQ(panel.top, 16);
  EXPECT_EQ(panel.width, 453);
  EXPECT_EQ(panel.height, 169);
  PixelBox file = PanelChildOnForm(layout::lbl_BGM[2], t, t);
  EXPECT_EQ(file.left, 12 + 36);
  EXPECT_EQ(file.top, 16 + 96);
  EXPECT_EQ(file.width, 60);
  // Marks and labels select their row; the gap between them and the heading do not.
  EXPECT_EQ(KindAt(20 + 5, 56 + 5, t, t), 1);   // CD mark
  EXPECT_EQ(KindAt(36 + 40, 56 + 5, t, t), 1);  // "音楽CD"
  EXPECT_EQ(KindAt(36 + 5, 76 + 5, t, t), 0);   // "無し"
  EXPECT_EQ(KindAt(36 + 59, 96 + 12, t, t), 2); // last pixel of "MP3、WAV"
  EXPECT_EQ(KindAt(36 + 60, 96 + 5, t, t), -1);
  EXPECT_EQ(KindAt(34, 96 + 5, t, t), -1);      // between mark and label
  EXPECT_EQ(KindAt(25, 25, t, t), -1);          // the heading
  EXPECT_EQ(ToPixels(layout::lbl_BGM[2], 12, 12).width, 75);  // 120 dpi
}

TEST(DialogLayout, PositionCentredAndOneThirdDown) {
  EXPECT_EQ(DialogPosition(1024, 768, 484, 276, 15, 15).x, 270);
  EXPECT_EQ(DialogPosition(1024, 768, 484, 276, 15, 15).y, 164);
  // An odd free width drops the half pixel.
  EXPECT_EQ(DialogPosition(1025, 768, 484, 276, 15, 15).x, 270);
  // A window bigger than the screen goes off both edges evenly.
  EXPECT_EQ(DialogPosition(400, 200, 484, 276, 15, 15).x, -42);
  EXPECT_EQ(DialogPosition(400, 200, 484, 276, 15, 15).y, -25);
}

TEST(DialogGradient, FormDarkBlueAtEdgesBrightInTheMiddle) {
  // 252 rows at 15 twips: 3780 twips high, lines 0..3780.
  std::vector<uint32_t> rows = GradientRows(252, 15, GradientStyle::Form);
  ASSERT_EQ(rows.size(), 252u);
  auto rgb = [](uint32_t c) {
    return std::array<int, 3>{int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
  };
  // Row 0 shows line 14: sin(14 / 1203.06) * 220 = 2.56 -> 3.
  EXPECT_EQ(rgb(rows[0]), (std::array<int, 3>{3, 3, 33}));
  EXPECT_EQ(rgb(rows[126]), (std::array<int, 3>{220, 220, 250}));
  // The last row shows line 3779: sin(3.1412) is almost 0.
  EXPECT_EQ(rgb(rows[251]), (std::array<int, 3>{0, 0, 30}));
  // Brightest in the middle, falling off to both edges without a jump.
  for (int r = 1; r < 126; ++r) EXPECT_LE(rgb(rows[r - 1])[0], rgb(rows[r])[0]) << r;
  for (int r = 127; r < 252; ++r) EXPECT_GE(rgb(rows[r - 1])[0], rgb(rows[r])[0]) << r;
}

TEST(DialogGradient, PanelIsGreyFrom30To250) {
  std::vector<uint32_t> rows = GradientRows(169, 15, GradientStyle::Panel);
  ASSERT_EQ(rows.size(), 169u);
  for (uint32_t c : rows) {
    EXPECT_EQ(c & 0xFF, (c >> 8) & 0xFF);
    EXPECT_EQ(c & 0xFF, (c >> 16) & 0xFF);
  }
  EXPECT_EQ(rows[84] & 0xFF, 250u);
  EXPECT_EQ(rows[168] & 0xFF, 30u);
  EXPECT_LE(rows[0] & 0xFF, 35u);
}

TEST(DialogGradient, LevelsFollowTheSineWithHalvesToEven) {
  // H = 3142 twips gives d = 1000 exactly.
  EXPECT_EQ(GradientLevel(0, 3142), 0);
  EXPECT_EQ(GradientLevel(1571, 3142), 220);
  // |sin| folds the second half back up rather than going negative.
  EXPECT_NEAR(GradientLevel(3142 + 500, 3142), GradientLevel(500, 3142), 1);
  EXPECT_GT(GradientLevel(3142 + 500, 3142), 100);
  // A height of zero draws the single line at 0 without dividing by zero.
  EXPECT_EQ(GradientLevel(0, 0), 0);
  EXPECT_TRUE(GradientRows(0, 15, GradientStyle::Form).empty());
  // A surface of one pixel still gets its row.
  EXPECT_EQ(GradientRows(1, 15, GradientStyle::Panel).size(), 1u);
}

TEST(DialogTexts, Code932BytesOfTheJapaneseTexts) {
  const std::pair<const char*, const char*> texts[] = {
      {kTextMusicCd, expected::kMusicCd},     {kTextRepeatTrack, expected::kRepeatTrack},
      {kTextNone, expected::kNone},           {kTextMp3Wav, expected::kMp3Wav},
      {kTextOtherWorks, expected::kOtherWorks}, {kTextSet, expected::kSet},
      {kTextCancel, expected::kCancel},       {kTextBrowse, expected::kBrowse},
      {kLabelFontFace, expected::kLabelFont}, {kFileFilterName, expected::kFilterName},
      {kFileDialogTitle, expected::kFileDialogTitle}, {kDialogCaption, expected::kCaption},
  };
  for (const auto& t : texts) EXPECT_EQ(std::string(t.first), std::string(t.second));
  EXPECT_EQ(std::string(KindLabelText(0)), expected::kNone);
  EXPECT_EQ(std::string(KindLabelText(1)), expected::kMusicCd);
  EXPECT_EQ(std::string(KindLabelText(2)), expected::kMp3Wav);
  EXPECT_STREQ(KindLabelText(7), "");
  // The credits line names the product and its version in plain ASCII.
  EXPECT_EQ(std::string(kCreditsText).rfind("Sorvane " SORVANE_VERSION_TEXT " ", 0), 0u);
}

}  // namespace
}  // namespace sorvane::saver
