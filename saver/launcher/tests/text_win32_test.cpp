#include "text_win32.h"

#include <gtest/gtest.h>

#include <string>

#include "profile.h"
#include "settings_store.h"
#include "utilities.h"

namespace sorvane::saver {
namespace {

// Every two-byte character of code page 932 comes back as the same character,
// so no Japanese name is ever taken for one that cannot be stored; characters
// outside it are refused, never stored as look-alikes or '?'.
TEST(Text932, KeepsEveryCharacterOfTheCodePageAndRefusesOthers) {
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const std::wstring wide = WideFrom932(bytes);
      // Unassigned codes decode to the default character: not a character to keep.
      if (wide.size() != 1 || wide[0] == 0x30FB || wide[0] == L'?') continue;
      ++characters;
      const std::optional<std::string> back = Text932From(wide);
      ASSERT_TRUE(back.has_value()) << std::hex << lead << " " << trail;
      EXPECT_EQ(WideFrom932(*back), wide) << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(characters, 7000);  // JIS X 0208 alone has 6879
  // Half-width katakana and ASCII are one byte each.
  EXPECT_EQ(Text932From(L"BGM\xFF8C\xFF67\xFF72\xFF99"), std::string("BGM\xcc\xa7\xb2\xd9"));

  for (const std::wstring& s : {std::wstring(L"\xD55C"),          // Hangul
                                std::wstring(L"caf\xE9"),          // é: no best-fit "e"
                                std::wstring(L"\xD83C\xDFB5"),     // a character beyond 16 bits
                                std::wstring(L"a\x4E02z")}) {      // a CJK ideograph outside JIS
    EXPECT_FALSE(Text932From(s).has_value());
  }
}

TEST(PathFor932, ShortNameOnlyWhereTheLongOneCannotBeStored) {
  int asked = 0;
  const ShortNameFn alias = [&](const std::wstring& p) {
    ++asked;
    return p == L"C:\\m\\\xD55C.wav" ? std::wstring(L"C:\\m\\A1B2~1.WAV") : p;
  };
  // 音楽表.wav: a Japanese name is kept as it is, 表's 5C byte included.
  EXPECT_EQ(PathFor932(L"C:\\m\\\x97F3\x697D\x8868.wav", alias),
            std::string("C:\\m\\\x89\xb9\x8a\x79\x95\x5c.wav"));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(PathFor932(L"C:\\m\\\xD55C.wav", alias), std::string("C:\\m\\A1B2~1.WAV"));
  // No short name (the volume keeps none: the long name comes back), or one
  // that cannot be stored either: nothing.
  EXPECT_FALSE(PathFor932(L"C:\\n\\\xD55C.wav", alias).has_value());
  EXPECT_FALSE(PathFor932(L"C:\\n\\\xD55C.wav", [](const std::wstring&) { return std::wstring(); }));
  EXPECT_FALSE(PathFor932(L"C:\\n\\\xD55C.wav",
                          [](const std::wstring&) { return std::wstring(L"C:\\\xD55C~1.WAV"); }));
}

// A per-user folder whose name code page 932 cannot hold, on a volume without
// short names: the engine file is found and the settings are stored there, by
// the system's profile calls (code page 932) and by our own (other systems).
TEST(ProgramFolder, ANameOutsideCodePage932IsUsedByItsUtf16Form) {
  wchar_t tmp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, tmp);
  const std::wstring id = std::to_wstring(GetCurrentProcessId()), wide = tmp + (L"Ren\xE9" + id);
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
  const FolderNames folder = FolderOf(wide + L"\\Sorvane.scr", nullptr);  // no short name
  EXPECT_EQ(folder.wide, wide);
  EXPECT_EQ(folder.text, *Text932From(std::wstring(tmp) + L"Ren?" + id));
  ProgramFolder = folder.text, ProgramFolderW = folder.wide;
  CloseHandle(CreateFileW((wide + L"\\Sorvane.dll").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          0, nullptr));
  EXPECT_TRUE(FileExists(ProgramFolder + "\\Sorvane.dll"));
  BgmKind = 1, BgmRepeat = 7, BgmFile.clear();
  EXPECT_TRUE(SaveSettings());
  const std::string repeat_key = "BGM\xD8\xCB\xDF\xB0\xC4";
  EXPECT_EQ(profile::GetString(SettingsPath(), "Section", repeat_key), "7");
  EXPECT_TRUE(profile::WriteString(SettingsPath(), "Section", repeat_key, "3"));
  LoadSettings();
  EXPECT_EQ(BgmRepeat, 3);
  // A neighbour whose name begins alike is not inside.
  EXPECT_EQ(WidePath(ProgramFolder + "2\\a"), WideFrom932(ProgramFolder + "2\\a"));
  for (const wchar_t* name : {L"\\Sorvane.dll", L"\\Sorvane.ini"}) DeleteFileW((wide + name).c_str());
  EXPECT_TRUE(RemoveDirectoryW(wide.c_str()));
  ProgramFolder.clear(), ProgramFolderW.clear();
}

}  // namespace
}  // namespace sorvane::saver
