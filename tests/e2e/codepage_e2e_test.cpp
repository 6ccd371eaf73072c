// Sorvane.scr end to end whatever the system's code page is. ctest runs this
// program twice: under a Japanese locale (code page 932) and under an English
// one (1252); every case expects the same in both. The programs lie in a folder
// whose Japanese name ends in 表 (95 5C in code page 932), so the program
// folder, the engine's path and the settings file's path carry Japanese text
// too. Everything here goes through the wide calls so that the test itself
// does not depend on the code page it checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_common.h"
#include "os_driver.h"
#include "panel_click.h"
#include "saver/dialog/dialog_model.h"

namespace sorvane::e2e {
namespace {

namespace layout = saver::layout;

std::wstring From932(const std::string& bytes) {
  std::wstring w(bytes.size(), L'\0');
  const int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), &w[0],
                                    static_cast<int>(w.size()));
  w.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return w;
}

std::string To932(const std::wstring& w) {
  std::string s(w.size() * 2, '\0');
  const int n = WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), &s[0],
                                    static_cast<int>(s.size()), nullptr, nullptr);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A Linux path of the build as Wine shows it (the root is drive Z:).
std::wstring WinPath(const std::string& unix_path) {
  std::wstring path = L"Z:" + Widen(unix_path);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// "Sorvane.dll が Sorvane.scr と同じﾌｫﾙﾀﾞに見つかりません！" in code page 932.
const char kMissingEngineText[] =
    "Sorvane.dll \x82\xAA Sorvane.scr \x82\xC6\x93\xAF\x82\xB6\xCC\xAB\xD9\xC0\xDE\x82\xC9"
    "\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x49";

const std::wstring kMusicFolder = L"\x97F3\x697D\x8868";  // 音楽表
const std::wstring kJapaneseWav = L"\x97F3\x697D.wav";    // 音楽.wav
const std::wstring kJapaneseMp3 = L"\x97F3\x697D.mp3";
const std::wstring kHangulWav = L"\xD55C\xAE00.wav";       // no character of code page 932

std::string Ini(const std::string& kind, const std::string& repeat, const std::string& file) {
  return "[Section]\r\nBGM\x8b\xe6\x95\xaa=" + kind + "\r\nBGM\xd8\xcb\xdf\xb0\xc4=" + repeat +
         "\r\nBGM\xcc\xa7\xb2\xd9=" + file + "\r\n";
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                  put == bytes.size();
  return CloseHandle(f) && ok;
}

std::string ReadAll(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  std::string s;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) s.append(buf, got);
  CloseHandle(f);
  return s;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = d.cFileName;
      if (name == L"." || name == L"..") continue;
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path + L"\\" + name);
      else
        DeleteFileW((path + L"\\" + name).c_str());
    } while (FindNextFileW(h, &d));
    FindClose(h);
  }
  RemoveDirectoryW(path.c_str());
}

// Text of a window of another process, asked of the window itself.
std::wstring TextOf(HWND w) {
  wchar_t text[512] = {};
  DWORD_PTR n = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &n);
  return text;
}

HWND WaitForWindowW(const wchar_t* class_name, const std::wstring& title, DWORD timeout_ms) {
  const double end = NowMs() + timeout_ms;
  for (;;) {
    if (HWND w = FindWindowW(class_name, title.c_str())) return w;
    if (NowMs() >= end) return nullptr;
    PumpFor(20);
  }
}

void ClickWindow(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  SetCursorPos(x, y);
  PumpFor(50);
  ClickAt(x, y);
  PumpFor(250);
}

// Wine's wave device writes what it plays here (see the ALSA set-up in CMake).
std::wstring PcmFile() { return WinPath(SORVANE_MUSIC_PCM); }
std::size_t SoundIn(const std::string& pcm) {
  return static_cast<std::size_t>(std::count_if(pcm.begin(), pcm.end(), [](char c) { return c != 0; }));
}

class AnyCodePage : public ScrCase {
 protected:
  void SetUp() override {
    ScrCase::SetUp();
    // The locale really gives the code page this run is about.
    ASSERT_EQ(GetACP(), static_cast<UINT>(SORVANE_EXPECT_ACP));
    // The full form, as the file dialog hands a path back.
    wchar_t root[MAX_PATH] = {};
    GetFullPathNameW((Widen(BinFolder()) + L"\\..\\e2e-work").c_str(), MAX_PATH, root, nullptr);
    CreateDirectoryW(root, nullptr);
    folder_ = std::wstring(root) + L"\\" + kMusicFolder + std::to_wstring(GetCurrentProcessId()) + L" " +
              kMusicFolder;
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    ASSERT_TRUE(Copy(Widen(BinFolder()) + L"\\Sorvane.scr", L"Sorvane.scr"));
  }
  void TearDown() override {
    scr_.Kill();
    ScrCase::TearDown();
    for (int i = 0; i < 20 && GetFileAttributesW(folder_.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
      RemoveTree(folder_);
      if (GetFileAttributesW(folder_.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(50);
    }
  }

  std::wstring File(const std::wstring& name) const { return folder_ + L"\\" + name; }
  bool Copy(const std::wstring& from, const std::wstring& name) const {
    return CopyFileW(from.c_str(), File(name).c_str(), FALSE) != FALSE;
  }
  std::string IniBytes() const { return ReadAll(File(L"Sorvane.ini")); }

  void Start(const std::wstring& arguments) {
    const std::wstring program = File(L"Sorvane.scr");
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder_.c_str(), &si, &pi));
    CloseHandle(pi.hThread);
    scr_.Adopt(pi.hProcess);
  }

  // A process handle that is ended with the case.
  struct Scr {
    HANDLE h = nullptr;
    void Adopt(HANDLE p) { Kill(), h = p; }
    bool WaitExit(DWORD ms, DWORD* code) const {
      const double end = NowMs() + ms;
      while (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) {
        if (NowMs() >= end) return false;
        PumpFor(20);
      }
      GetExitCodeProcess(h, code);
      return true;
    }
    void Kill() {
      if (!h) return;
      TerminateProcess(h, 99);
      WaitForSingleObject(h, 5000);
      CloseHandle(h);
      h = nullptr;
    }
  } scr_;
  std::wstring folder_;
};

TEST_F(AnyCodePage, TheMissingEngineMessageReadsAsOnAJapaneseSystem) {
  Start(L"/s");
  HWND box = WaitForWindowW(nullptr, Widen(kAppTitle), kStartTimeoutMs);
  ASSERT_NE(box, nullptr) << "no message box captioned with the application title";
  std::wstring text;
  for (const double end = NowMs() + 5000; text.empty() && NowMs() < end; PumpFor(20)) {
    for (const ChildWindow& c : ListChildren(box)) {
      if (_stricmp(c.class_name.c_str(), "Static") == 0 && IsWindowVisible(c.hwnd) &&
          (c.style & SS_TYPEMASK) != SS_ICON && !TextOf(c.hwnd).empty()) {
        text = TextOf(c.hwnd);
      }
    }
  }
  EXPECT_EQ(text, From932(kMissingEngineText));
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(scr_.WaitExit(5000, &code));
  EXPECT_EQ(code, 0u);
}

class JapaneseMusicFile : public AnyCodePage, public ::testing::WithParamInterface<const wchar_t*> {};

// Settings read from a Japanese folder, a Japanese music file found and
// played, and the engine started from that folder.
TEST_P(JapaneseMusicFile, PlaysDuringASaverRun) {
  const std::wstring name = GetParam();
  const std::wstring media = WinPath(SORVANE_MUSIC_MEDIA) + L"\\";
  ASSERT_TRUE(Copy(media + (name == kJapaneseWav ? L"tone.wav" : L"tone.mp3"), name))
      << "the build makes the test sounds with sox and lame";
  ASSERT_TRUE(Copy(Widen(BinFolder()) + L"\\e2e_late_engine.exe", L"Sorvane.dll"));
  const std::string ini = Ini("2", "0", To932(File(name)));
  ASSERT_TRUE(WriteAll(File(L"Sorvane.ini"), ini));
  DeleteFileW(PcmFile().c_str());

  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", "200");
  Start(L"/s");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", nullptr);
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr) << "the engine was not started from the Japanese folder";
  std::size_t heard = 0;
  for (const double end = NowMs() + 15000; heard < 4000 && NowMs() < end; PumpFor(100)) {
    heard = SoundIn(ReadAll(PcmFile()));
  }
  EXPECT_GE(heard, 4000u) << "the music file stayed silent";

  PostMessageW(engine, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(scr_.WaitExit(10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(IniBytes(), ini);  // a saver run only reads
}

INSTANTIATE_TEST_SUITE_P(Kinds, JapaneseMusicFile,
                         ::testing::Values(kJapaneseWav.c_str(), kJapaneseMp3.c_str()),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                           return std::wstring(info.param) == kJapaneseWav ? std::string("Wav")
                                                                           : std::string("Mp3");
                         });

// The settings dialog: finds the stored keys, and stores what it saves as
// code page 932 bytes, the chosen file's Japanese name included; a name that
// code page 932 cannot hold is stored by the file's short name.
class SettingsDialog : public AnyCodePage {
 protected:
  HWND form_ = nullptr, panel_ = nullptr, combo_ = nullptr, browse_ = nullptr, set_ = nullptr;

  void Open() {
    Start(L"/c");
    form_ = WaitForWindow(kDialogMarker, kStartTimeoutMs);
    ASSERT_NE(form_, nullptr) << "no settings dialog";
    for (int i = 0; i < 200 && !IsWindowVisible(form_); ++i) PumpFor(50);
    panel_ = FindWindowExA(form_, nullptr, saver::kPanelClassName, nullptr);
    ASSERT_NE(panel_, nullptr);
    // The buttons by place: the panel's one is the file button; on the form,
    // left to right, "other works", "set", "cancel".
    std::vector<std::pair<LONG, HWND>> row;
    for (const ChildWindow& c : ListChildren(form_)) {
      if (c.class_name == "ComboBox") combo_ = c.hwnd;
      if (c.class_name != "Sorvane.Command") continue;
      if (GetParent(c.hwnd) == panel_) {
        browse_ = c.hwnd;
      } else {
        RECT r{};
        GetWindowRect(c.hwnd, &r);
        row.emplace_back(r.left, c.hwnd);
      }
    }
    std::sort(row.begin(), row.end());
    ASSERT_EQ(row.size(), 3u);
    set_ = row[1].second;
    ASSERT_TRUE(combo_ && browse_);
    PumpFor(500);
  }
  void SelectFileKind() {
    ClickPanelControl(form_, layout::lbl_BGM[2]);
    ASSERT_TRUE(IsWindowEnabled(browse_));
  }
  // Chooses `path` in the file dialog, found by its Japanese title.
  void Choose(const std::wstring& path) {
    ClickWindow(browse_);
    HWND chooser = WaitForWindowW(L"#32770", From932(saver::kFileDialogTitle), 10000);
    ASSERT_NE(chooser, nullptr) << "no file dialog with the Japanese title";
    HWND name = GetDlgItem(chooser, 0x47c);
    if (!name) name = GetDlgItem(chooser, 0x480);
    ASSERT_NE(name, nullptr);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ClickWindow(GetDlgItem(chooser, IDOK));
    for (int i = 0; i < 100 && IsWindow(chooser); ++i) PumpFor(50);
    ASSERT_FALSE(IsWindow(chooser));
  }
  void SaveAndWait() {
    ClickWindow(set_);
    DWORD code = 1;
    ASSERT_TRUE(scr_.WaitExit(10000, &code)) << "the dialog did not close";
  }
};

TEST_F(SettingsDialog, SavesTheSameBytesAsOnAJapaneseSystem) {
  ASSERT_TRUE(WriteAll(File(kJapaneseWav), "RIFF"));
  ASSERT_TRUE(WriteAll(File(kHangulWav), "RIFF"));
  ASSERT_TRUE(WriteAll(File(L"Sorvane.dll"), "engine"));
  ASSERT_TRUE(WriteAll(File(L"Sorvane.ini"), Ini("1", "4", "")));

  // A name outside code page 932: its short name, which opens the same file.
  ASSERT_NO_FATAL_FAILURE(Open());
  EXPECT_EQ(TextOf(combo_), L"4") << "the stored repeat was not found";
  ASSERT_NO_FATAL_FAILURE(SelectFileKind());
  ASSERT_NO_FATAL_FAILURE(Choose(File(kHangulWav)));
  wchar_t alias[MAX_PATH] = {};
  const DWORD n = GetShortPathNameW(File(kHangulWav).c_str(), alias, MAX_PATH);
  const bool has_short_name = n > 0 && n < MAX_PATH && std::wstring(alias) != File(kHangulWav);
  if (!has_short_name) {
    // No short name on this volume: the user is told, the choice stays empty.
    HWND box = WaitForWindowW(nullptr, Widen(kAppTitle), 5000);
    ASSERT_NE(box, nullptr);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    PumpFor(500);
  }
  ASSERT_NO_FATAL_FAILURE(SaveAndWait());
  const std::string stored = has_short_name ? To932(alias) : std::string();
  EXPECT_EQ(IniBytes(), Ini("2", "4", stored));
  if (has_short_name) {
    EXPECT_EQ(From932(stored), alias);
    EXPECT_NE(GetFileAttributesW(From932(stored).c_str()), INVALID_FILE_ATTRIBUTES);
  }

  // A Japanese name: its code page 932 bytes, read back at the next start.
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(SelectFileKind());
  ASSERT_NO_FATAL_FAILURE(Choose(File(kJapaneseWav)));
  ASSERT_NO_FATAL_FAILURE(SaveAndWait());
  EXPECT_EQ(IniBytes(), Ini("2", "4", To932(File(kJapaneseWav))));
}

}  // namespace
}  // namespace sorvane::e2e
