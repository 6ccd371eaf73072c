// Our own profile-file reader and writer: reading rules and in-place edits.
#include "profile.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sorvane::saver::profile {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::string Get(const std::string& file, const std::string& s, const std::string& k) {
  auto v = Lookup(file, s, k);
  return v ? *v : "<default>";
}

// The reading rules are checked against kernel32 itself in
// profile_differential_test.cpp; here: what that comparison cannot reach.

TEST(ProfileLookup, CodePage932NamesMatchByCharacter) {
  // 83 41 and 83 61 are two katakana, not one letter in two cases.
  const std::string f = "[S]\r\n\x83\x41=a\r\n\x83\x61=da\r\nBGM\x8B\xE6\x95\xAA=2\r\n";
  EXPECT_EQ(Get(f, "S", "\x83\x61"), "da");
  EXPECT_EQ(Get(f, "S", "\x83\x41"), "a");
  EXPECT_EQ(Get(f, "s", "bgm\x8B\xE6\x95\xAA"), "2");
  EXPECT_TRUE(NamesMatch("Ab\x83\x41", "aB\x83\x41"));
  EXPECT_FALSE(NamesMatch("\x83\x41", "\x83\x61"));
  EXPECT_FALSE(NamesMatch("\x83\x41", "\x83"));
  // A trail byte may look like ']' or '=': it does not end a header or a key.
  const std::string g = "[\x83\x5D]\r\n\x83\x3D=no pair\r\n\x95\x5Ck=soft\r\n";
  EXPECT_EQ(Get(g, "\x83\x5D", "\x95\x5Ck"), "soft");
  EXPECT_EQ(Get("[x\x83]\r\nk=1\r\n", "x\x83", "k"), "<default>");  // 83 5D is one character
}

TEST(ProfileUpdate, EditsUntidyFilesInPlace) {
  const std::string untidy =
      "; settings\n"
      "\n"
      "  [ Section ]   trailing\n"
      "   key1   =   old   \n"
      "\n"
      "junk \x81\n"
      "dup=first\n"
      "dup=second\n"
      "\n"
      "[Next]\r\n"
      "x=1";
  std::string f = untidy;
  EXPECT_TRUE(Update(&f, "section", "KEY1", "new"));
  EXPECT_EQ(f,
            "; settings\n\n  [ Section ]   trailing\nkey1=new\n\njunk \x81\ndup=first\ndup=second\n\n"
            "[Next]\r\nx=1");
  f = untidy;
  EXPECT_TRUE(Update(&f, "Section", "dup", "d"));  // the first duplicate only
  EXPECT_EQ(Get(f, "Section", "dup"), "d");
  EXPECT_NE(f.find("dup=d\ndup=second\n"), std::string::npos);
  f = untidy;
  EXPECT_TRUE(Update(&f, "Section", "added", "v"));  // after the section's last line, before blanks
  EXPECT_EQ(f,
            "; settings\n\n  [ Section ]   trailing\n   key1   =   old   \n\njunk \x81\ndup=first\n"
            "dup=second\nadded=v\r\n\n[Next]\r\nx=1");
  f = untidy;
  EXPECT_TRUE(Update(&f, "Next", "y", "2"));  // the last line has no newline
  EXPECT_EQ(f.substr(untidy.size()), "\r\ny=2\r\n");
  EXPECT_EQ(f.substr(0, untidy.size()), untidy);
  f = untidy;
  EXPECT_TRUE(Update(&f, "Third", "z", "3"));
  EXPECT_EQ(f, untidy + "\r\n[Third]\r\nz=3\r\n");
  f = "[S]\r\nkeyonly\r\n";
  EXPECT_TRUE(Update(&f, "S", "KEYONLY", "v"));
  EXPECT_EQ(f, "[S]\r\nkeyonly=v\r\n");
}

TEST(ProfileUpdate, ValuesAreWrittenRawAndReadWhole) {
  std::string f = "[S]\r\n";
  EXPECT_TRUE(Update(&f, "S", "k", " \"q\" ;x=y "));
  EXPECT_EQ(f, "[S]\r\nk= \"q\" ;x=y \r\n");
  EXPECT_FALSE(Update(&f, "s", "K", "\"q\" ;x=y"));  // what is stored already: nothing to do
  std::string big(300000, 'v');
  EXPECT_TRUE(Update(&f, "S", "big", big));
  EXPECT_EQ(Get(f, "S", "big"), big);
}

TEST(ProfileFile, MissingAndUnusableFilesReadEmptyAndFailToWrite) {
  TempFolder dir;
  const std::string ini = dir / "p.ini";
  EXPECT_EQ(GetString(ini, "S", "k"), "");
  EXPECT_TRUE(WriteString(ini, "S", "k", "v"));
  EXPECT_EQ(ReadBytes(ini), "[S]\r\nk=v\r\n");
  EXPECT_EQ(GetString(ini, "s", "K"), "v");
  EXPECT_TRUE(WriteString(ini, "S", "k", "v"));  // unchanged: still succeeds
  EXPECT_TRUE(WriteString(ini, "S", "k", "w"));
  EXPECT_EQ(ReadBytes(ini), "[S]\r\nk=w\r\n");
  EXPECT_TRUE(WriteString(ini, "S", "k", "v"));  // shorter again: no stale tail
  EXPECT_EQ(ReadBytes(ini), "[S]\r\nk=v\r\n");

  // A missing folder is not created.
  EXPECT_FALSE(WriteString(dir / "none" + (dir / "p.ini").substr(dir.path().size()), "S", "k", "v"));
  EXPECT_EQ(ReadBytes(dir / "none"), "<missing>");
  // A folder where the file should be.
  std::filesystem::create_directory(dir / "folder.ini");
  EXPECT_EQ(GetString(dir / "folder.ini", "S", "k"), "");
  EXPECT_FALSE(WriteString(dir / "folder.ini", "S", "k", "v"));
  // A file where a folder should be.
  ASSERT_TRUE(WriteBytes(dir / "plain", "[S]\r\nk=1\r\n"));
  EXPECT_EQ(GetString(dir / "plain" + (dir / "x.ini").substr(dir.path().size()), "S", "k"), "");
  EXPECT_FALSE(WriteString(dir / "plain" + (dir / "x.ini").substr(dir.path().size()), "S", "k", "v"));
  EXPECT_EQ(ReadBytes(dir / "plain"), "[S]\r\nk=1\r\n");
  EXPECT_EQ(GetString("", "S", "k"), "");
  EXPECT_FALSE(WriteString("", "S", "k", "v"));
}

TEST(ProfileFile, ValuesEndAtNulAndJunkIsHarmless) {
  TempFolder dir;
  const std::string ini = dir / "junk.ini";
  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 1 << 20; ++i) {
    x = x * 1103515245u + 12345u;
    junk += static_cast<char>(x >> 24);
  }
  junk += std::string("\r\n[S]\r\nk=ab\0cd\r\n", 16);
  ASSERT_TRUE(WriteBytes(ini, junk));
  EXPECT_EQ(GetString(ini, "S", "k"), "ab");
  EXPECT_TRUE(WriteString(ini, "S", "new", "1"));
  std::string after = ReadBytes(ini);
  EXPECT_EQ(after.substr(0, junk.size()), junk);  // everything before stays byte for byte
  EXPECT_EQ(after.substr(junk.size()), "new=1\r\n");
}

#ifndef _WIN32
TEST(ProfileFile, LinksModesAndPipesOnLinux) {
  TempFolder dir;
  const std::string real = dir / "real.ini", link = dir / "link.ini";
  ASSERT_TRUE(WriteBytes(real, "[S]\nk=1\n"));
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  EXPECT_TRUE(WriteString(link, "S", "k", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));  // written through, not replaced
  EXPECT_EQ(ReadBytes(real), "[S]\nk=2\n");
  EXPECT_TRUE(WriteString(real, "S", "k", "3"));
  struct stat st;
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no leftovers
  const std::string fifo = dir / "pipe.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(GetString(fifo, "S", "k"), "");  // at once, no writer needed
  EXPECT_FALSE(WriteString(fifo, "S", "k", "v"));
}
#endif

}  // namespace
}  // namespace sorvane::saver::profile
