// Our own profile files against the real thing: every sequence of reads and
// writes runs through kernel32's GetPrivateProfileStringA and
// WritePrivateProfileStringA on one file and through our implementation on a
// copy. Results must be the same; so must the bytes whenever our file is in
// the normal form ("[S]\r\nk=v\r\n", CRLF, no blanks around names or values),
// where Wine, which rebuilds the whole file on every write, and Windows, which
// edits in place, agree. In-place editing of untidy files is tested on its own
// (profile_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "profile.h"
#include "test_files.h"

namespace sorvane::saver::profile {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const char kDefault[] = "<default>";

const std::vector<std::string> kSections = {
    "Section", "SECTION", " Section\t", "S2", "\x83\x41", "\x83\x61", "\xCC\xA7\xB2\xD9", "a]b",
};
const std::vector<std::string> kKeys = {
    "BGM\x8B\xE6\x95\xAA", "bgm\x8B\xE6\x95\xAA", "BGM\xD8\xCB\xDF\xB0\xC4", "k", "K", " k ",
    "\x83\x41", "\x83\x61", ";c", "\xB1\xB2",
};
const std::vector<std::string> kValues = {
    "", "0", "2", "-1", "2.9", "a b", "x=y", ";v", "\"q\"", "'q'", "\"", "\"a'", "''",
    "\x89\xB9\x8A\x79", "C:\\m\\a.mp3", "\xB1\xB2\xB3", std::string(300, 'L') + "\x83\x41",
    " lead", "trail ",
};

bool IsBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\x0B' || c == '\x0C' || c == '\x1A';
}

// The form both kinds of writer produce byte for byte.
bool NormalForm(const std::string& f) {
  size_t i = 0;
  bool in_section = false;
  while (i < f.size()) {
    size_t e = f.find("\r\n", i);
    if (e == std::string::npos) return false;
    std::string line = f.substr(i, e - i);
    i = e + 2;
    if (line.empty() || line.find_first_of("\r\n") != std::string::npos) return false;
    if (IsBlankByte(line.front()) || IsBlankByte(line.back())) return false;
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) return false;
      if (IsBlankByte(line[1]) || IsBlankByte(line[line.size() - 2])) return false;
      in_section = true;
      continue;
    }
    size_t eq = line.find('=');
    if (!in_section || eq == std::string::npos || eq == 0) return false;
    if (IsBlankByte(line[eq - 1]) || (eq + 1 < line.size() && IsBlankByte(line[eq + 1]))) return false;
  }
  return true;
}

bool Untrimmed(const std::string& name) {
  return !name.empty() && (IsBlankByte(name.front()) || IsBlankByte(name.back()));
}

class Differential : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "run with the Japanese locale"; }

  void Start(const std::string& initial) {
    ++n_;
    names_spelled_apart_ = false;
    a_ = dir_ / ("win" + std::to_string(n_) + ".ini");
    b_ = dir_ / ("own" + std::to_string(n_) + ".ini");
    if (initial != "<none>") {
      ASSERT_TRUE(WriteBytes(a_, initial));
      ASSERT_TRUE(WriteBytes(b_, initial));
    }
  }

  std::string SystemRead(const std::string& s, const std::string& k) {
    std::vector<char> buf(1 << 16, '\0');
    GetPrivateProfileStringA(s.c_str(), k.c_str(), kDefault, buf.data(), buf.size(), a_.c_str());
    return buf.data();
  }
  std::string OwnRead(const std::string& s, const std::string& k) {
    std::string bytes = ReadBytes(b_);
    auto v = Lookup(bytes == "<missing>" ? "" : bytes, s, k);
    std::string r = v ? *v : kDefault;
    return r.substr(0, r.find('\0'));
  }

  void Read(const std::string& s, const std::string& k, const std::string& where) {
    ASSERT_EQ(SystemRead(s, k), OwnRead(s, k)) << where << " read [" << s << "] " << k;
    if (SystemRead(s, k) != kDefault) {
      EXPECT_EQ(GetString(b_, s, k), SystemRead(s, k)) << where;
    }
    ++reads_;
  }

  void Write(const std::string& s, const std::string& k, const std::string& v,
             const std::string& where) {
    BOOL sys = WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), a_.c_str());
    bool own = WriteString(b_, s, k, v);
    ASSERT_EQ(sys != 0, own) << where << " write [" << s << "] " << k << "=" << v;
    std::string ours = ReadBytes(b_);
    if (NormalForm(ours) && !names_spelled_apart_) {
      std::string theirs = ReadBytes(a_);
      // A new name given with blanks around it: we store it trimmed, Wine keeps
      // trailing blanks; which of the two Windows writes is not known, so such
      // a file is compared by its reads from then on.
      if (theirs != ours && (Untrimmed(s) || Untrimmed(k))) {
        names_spelled_apart_ = true;
        ++spelled_apart_;
      } else {
        ASSERT_EQ(theirs, ours) << where << " after [" << s << "] " << k << "=" << v;
        ++byte_checks_;
      }
    }
    ++writes_;
  }

  void Sweep(const std::string& where) {
    for (const auto& s : kSections) {
      for (const auto& k : kKeys) {
        Read(s, k, where);
        if (HasFatalFailure()) return;
      }
    }
  }

  TempFolder dir_;
  std::string a_, b_;
  int n_ = 0;
  int reads_ = 0, writes_ = 0, byte_checks_ = 0, spelled_apart_ = 0;
  bool names_spelled_apart_ = false;
};

TEST_F(Differential, NewFileSectionsAndKeys) {
  Start("<none>");
  Sweep("missing file");
  Write("Section", "BGM\x8B\xE6\x95\xAA", "2", "create");
  Write("Section", "BGM\xD8\xCB\xDF\xB0\xC4", "0", "second key");
  Write("Section", "BGM\xCC\xA7\xB2\xD9", "C:\\m\\a.mp3", "third key");
  EXPECT_EQ(ReadBytes(a_), "[Section]\r\nBGM\x8B\xE6\x95\xAA=2\r\nBGM\xD8\xCB\xDF\xB0\xC4=0\r\n"
                           "BGM\xCC\xA7\xB2\xD9=C:\\m\\a.mp3\r\n");
  Write("S2", "k", "", "new section, empty value");
  Write("section", "bgm\x8B\xE6\x95\xAA", "1", "update in another case");
  Write("Section", "BGM\x8B\xE6\x95\xAA", "1", "same value again");
  Write(" S2 ", " k ", "x", "blanks around the caller's names");
  Write("\x83\x41", "\x83\x41", "a", "katakana a");
  Write("\x83\x61", "\x83\x61", "da", "katakana da");
  Sweep("after writes");
  EXPECT_GT(byte_checks_, 8);
}

TEST_F(Differential, ReadingRulesOnHandWrittenFiles) {
  const char* files[] = {
      "[ Section ]\r\n  k  =  a b  \r\nK=second\r\n",
      "[Section]\nk=1\n\n[Section]\nk=2\n",
      "; comment\r\n[Section]\r\n;c=hidden\r\nk\r\n\x83\x41=\"q\"\r\n\x83\x61='q'\r\n",
      "[Section]\r\nk=\"\r\nK=\"a'\r\n\xB1\xB2=''\r\nbgm\x8B\xE6\x95\xAA=x=y;z",
      "[a]b]trailing text\r\nk=1\r\n[S2\r\nk=2\r\n",
      "[Section]\r\nk=\x1A value \x0B\r\n\r\n\r\n[S2]\r\n\tk\t=\t\"  in  \"\t\r\n",
      "\r\n\r\n",
      "[\xCC\xA7\xB2\xD9]\r\n\xB1\xB2=\x89\xB9\x8A\x79\rk=cr only\r",
  };
  for (const char* f : files) {
    Start(f);
    Sweep(f);
    if (HasFatalFailure()) return;
  }
}

TEST_F(Differential, TrailBytesThatLookLikeBracketsOrBackslashes) {
  Start("[\x83\x5D]\r\n\x95\x5Ck=soft\r\n[x\x83]\r\nk=1\r\n[\x83\x5C]\r\nk=2\r\n");
  for (const char* s : {"\x83\x5D", "x\x83", "x", "\x83\x5C", "\x83"}) {
    for (const char* k : {"\x95\x5Ck", "k", "[x\x83]"}) Read(s, k, "trail bytes");
  }
  Write("\x83\x5C", "\x83\x5C", "\x83\x5C", "trail bytes");
  Write("\x83\x5D", "\x95\x5Ck", "new", "trail bytes");
}

TEST_F(Differential, WritesIntoHandWrittenFilesAgreeOnEveryValue) {
  const char* files[] = {
      "[Section]\nk=1\n\n[S2]\nk=2",  // LF only, no final newline
      "; top\r\n\r\n[Section]\r\n  k = old \r\nk=dup\r\n\r\n[Section]\r\nK=hidden\r\n",
      "[S2]\r\nk\r\n",
      "[Section]\r\n\x83\x41=1\r\n\x83\x61=2\r\n",
  };
  for (const char* f : files) {
    Start(f);
    for (const auto& s : {"Section", "S2", "\x83\x61"}) {
      for (const auto& k : {"k", "K", "\x83\x61", "new"}) {
        Write(s, k, "v", f);
        if (HasFatalFailure()) return;
      }
    }
    Sweep(f);
    if (HasFatalFailure()) return;
  }
}

// A fixed seed: the same few thousand operations every run.
TEST_F(Differential, RandomSequencesAgree) {
  uint32_t state = 20261209u;
  auto next = [&state](size_t n) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<size_t>(state % n);
  };
  const std::vector<std::string> starts = {
      "<none>", "", "[Section]\r\nk=1\r\n",
      "[S2]\r\nk=x\r\n[Section]\r\nBGM\x8B\xE6\x95\xAA=2\r\n",
      "[Section]\r\nk=1",  // no final newline
      "[Section]\r\n;c=1\r\nk=1\r\nk=2\r\n\r\n[S2]\r\n  K = 3 \r\n",
  };
  int ops = 0;
  for (int seq = 0; seq < 90; ++seq) {
    Start(starts[next(starts.size())]);
    int length = 20 + static_cast<int>(next(60));
    for (int i = 0; i < length; ++i, ++ops) {
      std::string s = kSections[next(kSections.size())];
      std::string k = kKeys[next(kKeys.size())];
      // New names with blanks around them stop the byte comparison (see
      // Write), so they are rarer.
      if (Untrimmed(s) && next(4) != 0) s = "Section";
      if (Untrimmed(k) && next(4) != 0) k = "k";
      std::string where = "sequence " + std::to_string(seq) + " step " + std::to_string(i);
      if (next(3) == 0) {
        Read(s, k, where);
      } else {
        Write(s, k, kValues[next(kValues.size())], where);
      }
      if (HasFatalFailure()) return;
    }
    Sweep("end of sequence " + std::to_string(seq));
    if (HasFatalFailure()) return;
  }
  EXPECT_GE(ops, 2000);
  EXPECT_GT(byte_checks_, 600);
  RecordProperty("reads", reads_);
  RecordProperty("writes", writes_);
  RecordProperty("byte_checks", byte_checks_);
  std::printf("reads %d, writes %d, byte comparisons %d, names spelled apart %d\n", reads_, writes_,
              byte_checks_, spelled_apart_);
}

TEST_F(Differential, FailingWritesFailAlike) {
  a_ = dir_ / "missing\\a.ini";
  b_ = dir_ / "missing\\b.ini";
  Write("Section", "k", "v", "missing folder");
  std::filesystem::create_directory(dir_ / "fa.ini");
  std::filesystem::create_directory(dir_ / "fb.ini");
  a_ = dir_ / "fa.ini";
  b_ = dir_ / "fb.ini";
  Write("Section", "k", "v", "a folder of that name");
  Read("Section", "k", "a folder of that name");
}

}  // namespace
}  // namespace sorvane::saver::profile
