#include "settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings_port.h"
#include "test_files.h"
#include "utilities.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace sorvane::saver {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using ::testing::ElementsAre;

const std::string kKind = "BGM\x8B\xE6\x95\xAA";          // BGM区分
const std::string kRepeat = "BGM\xD8\xCB\xDF\xB0\xC4";    // BGMﾘﾋﾟｰﾄ
const std::string kFile = "BGM\xCC\xA7\xB2\xD9";          // BGMﾌｧｲﾙ

// Answers reads from a table and records every call.
class FakePort : public SettingsPort {
 public:
  std::map<std::string, std::string> values;  // key -> value in section "Section"
  std::vector<std::string> existing;          // files that exist
  std::vector<std::string> calls;
  int32_t write_result = 1;
  unsigned failing_writes = 0;  // bit n set: the n-th write (from 0) fails
  int writes = 0;

  std::string ReadValue(const std::string& path, const std::string& section,
                        const std::string& key) override {
    calls.push_back("read " + path + "|" + section + "|" + key);
    auto it = values.find(key);
    return section == "Section" && it != values.end() ? it->second : "";
  }
  int32_t WriteValue(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
    calls.push_back("write " + path + "|" + section + "|" + key + "=" + value);
    return (failing_writes >> writes++) & 1u ? 0 : write_result;
  }
  bool FileExists(const std::string& path) override {
    calls.push_back("exists " + path);
    for (const auto& e : existing) {
      if (e == path) return true;
    }
    return false;
  }
};

class SettingsWithFake : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramFolder = "C:\\Saver";
    BgmKind = 0;
    BgmRepeat = 0;
    BgmFile.clear();
    UseSettingsPort(&port);
  }
  void TearDown() override { UseSettingsPort(nullptr); }
  FakePort port;
};

TEST_F(SettingsWithFake, SaveWritesAllThreeKeysInOrderAsDecimalText) {
  BgmKind = 0;
  BgmRepeat = -1;
  BgmFile = "";
  SaveSettings();
  EXPECT_THAT(port.calls, ElementsAre("write C:\\Saver\\Sorvane.ini|Section|" + kKind + "=0",
                                      "write C:\\Saver\\Sorvane.ini|Section|" + kRepeat + "=-1",
                                      "write C:\\Saver\\Sorvane.ini|Section|" + kFile + "="));
  EXPECT_EQ(LastResult, 1);
  port.calls.clear();
  port.write_result = 0;
  BgmKind = -32768;
  BgmRepeat = 32767;
  BgmFile = "D:\\\x89\xB9\x8A\x79.mp3";  // 音楽
  SaveSettings();
  EXPECT_THAT(port.calls, ElementsAre("write C:\\Saver\\Sorvane.ini|Section|" + kKind + "=-32768",
                                      "write C:\\Saver\\Sorvane.ini|Section|" + kRepeat + "=32767",
                                      "write C:\\Saver\\Sorvane.ini|Section|" + kFile +
                                          "=D:\\\x89\xB9\x8A\x79.mp3"));
  EXPECT_EQ(LastResult, 0);  // a failed write is only recorded
}

TEST_F(SettingsWithFake, SaveReportsSuccessOnlyWhenEveryWriteSucceeded) {
  BgmKind = 1;
  BgmRepeat = 4;
  BgmFile = "a.wav";
  // Every pattern of failed writes: all three keys are still written, in order.
  for (unsigned failing = 0; failing < 8; ++failing) {
    port.calls.clear();
    port.writes = 0;
    port.failing_writes = failing;
    EXPECT_EQ(SaveSettings(), failing == 0) << "failing writes " << failing;
    EXPECT_THAT(port.calls, ElementsAre("write C:\\Saver\\Sorvane.ini|Section|" + kKind + "=1",
                                        "write C:\\Saver\\Sorvane.ini|Section|" + kRepeat + "=4",
                                        "write C:\\Saver\\Sorvane.ini|Section|" + kFile + "=a.wav"));
    EXPECT_EQ(LastResult, (failing & 4u) ? 0 : 1);
  }
}

TEST_F(SettingsWithFake, WriteIniPassesNamesOfUpTo128Characters) {
  std::string long_name(127, 'n');
  WriteIni(long_name, long_name + "k", "v", "p");
  std::string kanji;  // 130 two-byte characters: cut to 128 of them
  for (int i = 0; i < 130; ++i) kanji += "\x8B\xE6";
  WriteIni(long_name + "xyz", kanji, std::string("v\0w", 3), std::string("p\0q", 3));
  WriteIni(std::string("S\0junk", 6), "k", "v", "p");
  EXPECT_THAT(port.calls, ElementsAre("write p|" + long_name + "|" + long_name + "k=v",
                                      "write p|" + long_name + "x|" + kanji.substr(0, 256) + "=v",
                                      "write p|S|k=v"));
}

struct LoadCase {
  const char* kind_text;
  int16_t kind_before;
  int16_t kind_after;
};

TEST_F(SettingsWithFake, LoadTakesTheFloorOfNumbersAndKeepsTheOldValueOtherwise) {
  const LoadCase cases[] = {
      {"", 9, 0},        {"0", 9, 0},       {"1", 9, 1},           {"2.9", 9, 2},
      {"-0.5", 9, -1},   {"007", 9, 7},     {"+3", 9, 3},          {"32767", 9, 32767},
      {"-32768", 9, -32768}, {"32767.9", 9, 32767},
      {"words", 9, 9},   {"99999", 9, 9},   {"32768", 9, 9},       {"-32768.5", 9, 9},
      {"1e3", 9, 9},     {"&H2", 9, 9},     {"2,5", 9, 9},         {"1 2", 9, 9},
      {"999999999999999999999999999999", 9, 9},
  };
  port.existing = {"C:\\m\\a.mp3"};  // so that kind 2 may stay
  for (const auto& c : cases) {
    port.values = {{kKind, c.kind_text}, {kRepeat, c.kind_text}, {kFile, "C:\\m\\a.mp3"}};
    BgmKind = c.kind_before;
    BgmRepeat = c.kind_before;
    LoadSettings();
    EXPECT_EQ(BgmKind, c.kind_after) << '"' << c.kind_text << '"';
    EXPECT_EQ(BgmRepeat, c.kind_after) << '"' << c.kind_text << '"';
  }
}

TEST_F(SettingsWithFake, LoadChecksTheMusicFileAndDropsKindTwoWithoutIt) {
  port.values = {{kKind, "2"}, {kRepeat, "3"}, {kFile, "C:\\m\\gone.mp3"}};
  LoadSettings();
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmRepeat, 3);
  EXPECT_EQ(BgmFile, "");
  EXPECT_THAT(port.calls, ElementsAre("read C:\\Saver\\Sorvane.ini|Section|" + kKind,
                                      "read C:\\Saver\\Sorvane.ini|Section|" + kRepeat,
                                      "read C:\\Saver\\Sorvane.ini|Section|" + kFile,
                                      "exists C:\\m\\gone.mp3"));

  port.existing = {"C:\\m\\a.mp3"};
  port.values[kFile] = "C:\\m\\a.mp3";
  LoadSettings();
  EXPECT_EQ(BgmKind, 2);
  EXPECT_EQ(BgmFile, "C:\\m\\a.mp3");

  port.values = {{kKind, "2"}};  // no file key: kind 2 cannot play
  LoadSettings();
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmFile, "");

  port.values = {{kKind, "1"}, {kFile, ""}};  // the CD needs no file
  LoadSettings();
  EXPECT_EQ(BgmKind, 1);
  port.values = {{kKind, "1"}, {kFile, "C:\\m\\gone.mp3"}};
  LoadSettings();
  EXPECT_EQ(BgmKind, 1);
  EXPECT_EQ(BgmFile, "");
  port.values = {{kKind, "7"}, {kFile, "C:\\m\\gone.mp3"}};  // no range check
  LoadSettings();
  EXPECT_EQ(BgmKind, 7);
}

// ---- The platform's own profile functions on real files --------------------

class SettingsOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    ASSERT_EQ(GetACP(), 932u) << "run with the Japanese locale";
#endif
    ProgramFolder = dir.path();
    BgmKind = 9;
    BgmRepeat = 9;
    BgmFile = "stale";
    LastResult = -7;
  }
  std::string Ini() const { return dir / "Sorvane.ini"; }
  // The stored music path: Windows form on Windows, the platform's own elsewhere.
  std::string Music(const std::string& name) const { return dir / name; }
  void WriteIniFile(const std::string& bytes) { ASSERT_TRUE(WriteBytes(Ini(), bytes)); }
  std::string Settings(const std::string& kind, const std::string& repeat, const std::string& file) {
    return "[Section]\r\n" + kKind + "=" + kind + "\r\n" + kRepeat + "=" + repeat + "\r\n" + kFile +
           "=" + file + "\r\n";
  }
  TempFolder dir;
};

TEST_F(SettingsOnDisk, SavedFileHoldsExactlyTheSectionAndThreeKeys) {
  EXPECT_EQ(SettingsPath(), ProgramFolder + "\\Sorvane.ini");
  BgmKind = 2;
  BgmRepeat = 5;
  BgmFile = "C:\\m\\a.mp3";
  SaveSettings();
  EXPECT_NE(LastResult, 0);
  EXPECT_EQ(ReadBytes(Ini()), "[Section]\r\n"
                              "BGM\x8B\xE6\x95\xAA=2\r\n"
                              "BGM\xD8\xCB\xDF\xB0\xC4=5\r\n"
                              "BGM\xCC\xA7\xB2\xD9=C:\\m\\a.mp3\r\n");
  BgmKind = 0;
  BgmRepeat = 0;
  BgmFile = "";
  SaveSettings();  // kind 0 still writes all three, the file key included
  EXPECT_EQ(ReadBytes(Ini()), Settings("0", "0", ""));
}

TEST_F(SettingsOnDisk, SaveAndLoadRoundTripIncludingLongPaths) {
  // A music path longer than 255 bytes must survive (Windows' limit is 259).
  const size_t want = 258;
  std::string sub = dir / std::string(100, 'd');
  std::filesystem::create_directory(sub);
  std::string music = sub + (dir / "").substr(dir.path().size());
  music += std::string(want - music.size() - 4, 'x') + ".wav";
  ASSERT_EQ(music.size(), want);
  ASSERT_TRUE(WriteBytes(music, "RIFF"));
  BgmKind = 2;
  BgmRepeat = 12;
  BgmFile = music;
  SaveSettings();
  BgmKind = BgmRepeat = 0;
  BgmFile.clear();
  LoadSettings();
  EXPECT_EQ(BgmKind, 2);
  EXPECT_EQ(BgmRepeat, 12);
  EXPECT_EQ(BgmFile, music);

  const std::string huge(20000, 'h');  // far beyond any buffer a caller would guess
  WriteIni("Section", "long", huge, SettingsPath());
  EXPECT_EQ(ReadIni("Section", "long", SettingsPath()), huge);
}

TEST_F(SettingsOnDisk, MissingEmptyFolderOrJunkFileGivesDefaults) {
  LoadSettings();  // no file yet: a new installation
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmRepeat, 0);
  EXPECT_EQ(BgmFile, "");
  EXPECT_EQ(ReadBytes(Ini()), "<missing>");  // reading creates nothing

  WriteIniFile("");
  BgmKind = BgmRepeat = 9;
  LoadSettings();
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmRepeat, 0);

  std::string junk;
  uint32_t x = 99;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1664525u + 1013904223u;
    char c = static_cast<char>(x >> 24);
    junk += (c == '[' || c == '=') ? 'j' : c;  // no accidental header or key
  }
  WriteIniFile(junk);
  BgmKind = BgmRepeat = 9;
  LoadSettings();
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmRepeat, 0);
  EXPECT_EQ(ReadBytes(Ini()), junk);

  std::remove(Ini().c_str());
  std::filesystem::create_directory(Ini());
  BgmKind = BgmRepeat = 9;
  LoadSettings();
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmRepeat, 0);
  SaveSettings();
  EXPECT_EQ(LastResult, 0);
  EXPECT_TRUE(std::filesystem::is_directory(Ini()));
}

TEST_F(SettingsOnDisk, ManyMegabyteFileIsReadAndEditedWithoutLoss) {
  std::string big = "[Filler]\r\n";
  for (int i = 0; big.size() < (6u << 20); ++i) big += "f" + std::to_string(i) + "=0123456789abcdef\r\n";
  const std::string tail = Settings("1", "04", "");
  WriteIniFile(big + tail);
  LoadSettings();
  EXPECT_EQ(BgmKind, 1);
  EXPECT_EQ(BgmRepeat, 4);
  BgmRepeat = 5;
  SaveSettings();
  EXPECT_EQ(ReadBytes(Ini()), big + Settings("1", "5", ""));
}

TEST_F(SettingsOnDisk, ValuesThatAreNotSixteenBitNumbersKeepTheDefaults) {
  struct {
    const char* kind;
    const char* repeat;
    int16_t want_kind, want_repeat;
  } cases[] = {
      {"words", "2.9", 0, 2},   {"-0.5", "99999", -1, 0}, {"1e3", "0005", 0, 5},
      {" 1 ", "\"3\"", 1, 3},  {"\x8B\xE6", "-32768", 0, -32768},
  };
  for (const auto& c : cases) {
    WriteIniFile(Settings(c.kind, c.repeat, ""));
    BgmKind = BgmRepeat = 0;  // as at program start
    LoadSettings();
    EXPECT_EQ(BgmKind, c.want_kind) << c.kind;
    EXPECT_EQ(BgmRepeat, c.want_repeat) << c.repeat;
  }
}

TEST_F(SettingsOnDisk, MusicFileThatIsGoneOrAFolderIsDropped) {
  const std::string music = Music("a.mp3");
  ASSERT_TRUE(WriteBytes(music, ""));  // empty, but a file
  WriteIniFile(Settings("2", "0", music));
  LoadSettings();
  EXPECT_EQ(BgmKind, 2);
  EXPECT_EQ(BgmFile, music);

  WriteIniFile(Settings("2", "0", music + "\\"));  // one trailing backslash is dropped for the test
  LoadSettings();
  EXPECT_EQ(BgmKind, 2);

  std::remove(music.c_str());
  const std::string before = Settings("2", "0", music);
  WriteIniFile(before);
  LoadSettings();
  EXPECT_EQ(BgmKind, 0);
  EXPECT_EQ(BgmFile, "");
  EXPECT_EQ(ReadBytes(Ini()), before);  // loading never changes the file

  std::filesystem::create_directory(music);
  for (const std::string& folder : {music, music + "\\"}) {
    WriteIniFile(Settings("2", "0", folder));
    BgmKind = 2;
    LoadSettings();
    EXPECT_EQ(BgmKind, 0) << folder;
    EXPECT_EQ(BgmFile, "") << folder;
  }
}

TEST_F(SettingsOnDisk, FailedSaveLeavesNoTraceAndIsReported) {
  BgmKind = 1;
  BgmRepeat = 2;
  BgmFile = "";
  // A folder that does not exist.
  ProgramFolder = dir / "missing";
  EXPECT_FALSE(SaveSettings());
  EXPECT_EQ(LastResult, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
  // A "folder" that is a file.
  ASSERT_TRUE(WriteBytes(dir / "plain", "keep"));
  ProgramFolder = dir / "plain";
  EXPECT_FALSE(SaveSettings());
  EXPECT_EQ(LastResult, 0);
  EXPECT_EQ(ReadBytes(dir / "plain"), "keep");
#ifdef _WIN32
  // A settings file that another program holds exclusively stays as it was.
  // (A read-only attribute does not stop Wine's writes when it runs as root.)
  ProgramFolder = dir.path();
  const std::string old = Settings("2", "3", "x");
  WriteIniFile(old);
  HANDLE held = CreateFileA(Ini().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(SaveSettings());
  EXPECT_EQ(LastResult, 0);
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(Ini()), old);
  EXPECT_TRUE(SaveSettings());  // released: the same save goes through
  EXPECT_EQ(ReadBytes(Ini()), Settings("1", "2", ""));
  // A folder nobody may write to, not even root (Wine's Z: is the Linux root).
  ProgramFolder = "Z:\\proc";
  EXPECT_FALSE(SaveSettings());
  EXPECT_EQ(LastResult, 0);
#else
  // A folder nobody may write to, not even root.
  ProgramFolder = "/proc";
  EXPECT_FALSE(SaveSettings());
  EXPECT_EQ(LastResult, 0);
#endif
}

}  // namespace
}  // namespace sorvane::saver
