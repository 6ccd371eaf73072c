// Start-up decisions: the switch letter, the preview handle and the mode table,
// against a port that records what is called and in which order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "saver/launcher/main.h"

namespace sorvane::saver {
namespace {

using ::testing::ElementsAre;

class RecordingStartup : public StartupPort {
 public:
  std::vector<std::string> calls;
  std::set<std::string> windows;  // titles of windows that "exist"
  bool engine_present = true;

  bool WindowExists(const std::string& title) override {
    calls.push_back("find " + title);
    return windows.count(title) > 0;
  }
  void StartPreview(int32_t parent) override { calls.push_back("preview " + std::to_string(parent)); }
  void LoadSettings() override { calls.push_back("settings"); }
  bool FileExists(const std::string& path) override {
    calls.push_back("exists " + path);
    return engine_present;
  }
  void ShowMessage(const std::string& text) override {
    calls.push_back("message");
    message = text;
  }
  void ShowSettingsDialog() override { calls.push_back("dialog"); }
  void HideCursor() override { calls.push_back("hide cursor"); }
  void LoadSaverForm() override { calls.push_back("saver form"); }
  void EndProgram() override { calls.push_back("end"); }
  std::string message;
};

const char kFolder[] = "C:\\saver";
const char kEngine[] = "exists C:\\saver\\Sorvane.dll";

TEST(SwitchLetter, IsTheSecondCharacterUpperCased) {
  EXPECT_EQ(SwitchLetter("/s"), "S");
  EXPECT_EQ(SwitchLetter("-S"), "S");
  EXPECT_EQ(SwitchLetter("/Saver"), "S");
  EXPECT_EQ(SwitchLetter("/c:1234"), "C");
  EXPECT_EQ(SwitchLetter("/p 1234"), "P");
  EXPECT_EQ(SwitchLetter("xp"), "P");  // the first character is never examined
  EXPECT_EQ(SwitchLetter("S"), "");
  EXPECT_EQ(SwitchLetter("/"), "");
  EXPECT_EQ(SwitchLetter(""), "");
}

TEST(SwitchLetter, CountsShiftJisCharactersNotBytes) {
  // "／ｓ" in full width: two characters, the second a full-width letter, not "S".
  EXPECT_EQ(SwitchLetter("\x81\x5E\x82\x93"), "\x82\x93");
  // A lone full-width slash is one character: no switch letter at all.
  EXPECT_EQ(SwitchLetter("\x81\x5E"), "");
  // A half-width katakana is one byte and one character.
  EXPECT_EQ(SwitchLetter("\xB1s"), "S");
}

TEST(PreviewParentHandle, IsReadFromTheFourthCharacterOn) {
  EXPECT_EQ(PreviewParentHandle("/p 1234"), 1234);
  EXPECT_EQ(PreviewParentHandle("/p:1234"), 1234);
  EXPECT_EQ(PreviewParentHandle("/P  1234"), 1234);
  EXPECT_EQ(PreviewParentHandle("/p1234"), 234);  // the third character is skipped
  EXPECT_EQ(PreviewParentHandle("\x81\x5Ep 77"), 77);  // a two-byte first character counts as one
  EXPECT_EQ(PreviewParentHandle("/p"), 0);
  EXPECT_EQ(PreviewParentHandle("/p window"), 0);
  EXPECT_EQ(PreviewParentHandle("/p 99999999999"), 0);  // too large for 32 bits
}

TEST(Main, InstanceMarkersEndTheProgramBeforeAnythingElse) {
  for (const char* marker : {kSaverMarker, kDialogMarker}) {
    for (const char* line : {"/s", "/p 1234", "/c", ""}) {
      RecordingStartup port;
      port.windows.insert(marker);
      EXPECT_EQ(Main(port, line, kFolder), StartupOutcome::Ended);
      // Both searches are always made, then the program ends: no cursor, no preview.
      EXPECT_THAT(port.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "end"))
          << marker << " / " << line;
    }
  }
}

TEST(Main, PreviewReadsNoSettingsAndLooksForNoEngine) {
  RecordingStartup port;
  port.engine_present = false;
  EXPECT_EQ(Main(port, "/P:1234", kFolder), StartupOutcome::Preview);
  EXPECT_THAT(port.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "preview 1234"));

  RecordingStartup zero;
  EXPECT_EQ(Main(zero, "/p", kFolder), StartupOutcome::Preview);
  EXPECT_THAT(zero.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "preview 0"));
}

TEST(Main, SaverHidesTheCursorAfterSettingsAndEngineCheck) {
  for (const char* line : {"/s", "/S", "-s 77"}) {
    RecordingStartup port;
    EXPECT_EQ(Main(port, line, kFolder), StartupOutcome::Saver);
    EXPECT_THAT(port.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "settings", kEngine,
                                        "hide cursor", "saver form"))
        << line;
  }
}

TEST(Main, EmptyLineRunsTheSaverWithTheCursorLeftAlone) {
  RecordingStartup port;
  EXPECT_EQ(Main(port, "", kFolder), StartupOutcome::Saver);
  EXPECT_THAT(port.calls,
              ElementsAre("find Sorvane_Main", "find <Sorvane>", "settings", kEngine, "saver form"));
}

TEST(Main, SettingsSwitchShowsTheDialogThenEnds) {
  for (const char* line : {"/c", "/C:1234"}) {
    RecordingStartup port;
    EXPECT_EQ(Main(port, line, kFolder), StartupOutcome::Ended);
    EXPECT_THAT(port.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "settings", kEngine,
                                        "dialog", "end"));
  }
}

TEST(Main, OtherSwitchesEndSilentlyAfterTheEngineCheck) {
  for (const char* line : {"/a", "/a 1234", "S", "/", "/x"}) {
    RecordingStartup port;
    EXPECT_EQ(Main(port, line, kFolder), StartupOutcome::Ended);
    EXPECT_THAT(port.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "settings", kEngine, "end"))
        << line;
    EXPECT_EQ(port.message, "");
  }
}

TEST(Main, MissingEngineShowsTheMessageInEveryModeButPreview) {
  for (const char* line : {"/s", "/c", "/a", "", "S"}) {
    RecordingStartup port;
    port.engine_present = false;
    EXPECT_EQ(Main(port, line, kFolder), StartupOutcome::Ended);
    // The message comes before anything of the mode: no dialog, no cursor change.
    EXPECT_THAT(port.calls, ElementsAre("find Sorvane_Main", "find <Sorvane>", "settings", kEngine,
                                        "message", "end"))
        << line;
  }
}

}  // namespace
}  // namespace sorvane::saver
