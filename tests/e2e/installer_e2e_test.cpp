// The Windows release as a user meets it, under Wine in a fresh prefix: the
// setup run silently over another screen saver, the installed saver run and
// set up, an installation over it while a preview and the settings run from
// it, and the uninstaller while the saver runs.
//   SORVANE_SETUP=<setup.exe> SORVANE_RELEASE_BIN=<folder of the released
//   programs> installer_e2e_test.exe
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "e2e_common.h"
#include "os_driver.h"
#include "panel_click.h"
#include "saver/dialog/dialog_model.h"

namespace sorvane::e2e {
namespace {

constexpr char kDesktop[] = "Control Panel\\Desktop";
constexpr char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane";
constexpr char kOtherSaver[] = "C:\\windows\\system32\\other.scr";

std::string Env(const char* name) {
  char buf[1024] = {};
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::optional<std::string> RegText(const char* key, const char* value) {
  char buf[1024] = {};
  DWORD size = sizeof buf;
  if (RegGetValueA(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(buf);
}

std::optional<DWORD> RegNumber(const char* key, const char* value) {
  DWORD v = 0, size = sizeof v;
  if (RegGetValueA(HKEY_CURRENT_USER, key, value, RRF_RT_REG_DWORD, nullptr, &v, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return v;
}

bool KeyExists(const char* key) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void SetText(const char* key, const char* value, const std::string& text) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key, value, REG_SZ, text.c_str(),
                            static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

struct Shortcut {
  std::string target, arguments;
};
std::optional<Shortcut> ReadShortcut(const std::string& lnk) {
  std::optional<Shortcut> out;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return out;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    char target[MAX_PATH] = {}, args[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
        SUCCEEDED(link->GetArguments(args, MAX_PATH)))
      out = Shortcut{target, args};
    file->Release();
  }
  link->Release();
  return out;
}

// Runs a program to its end, as a user's double click would, but silently.
DWORD RunToEnd(const std::string& program, const std::string& arguments) {
  Process p = StartProgram(program, arguments);
  EXPECT_TRUE(p.started()) << program;
  DWORD code = 1;
  EXPECT_TRUE(p.WaitExit(120000, &code)) << program << " did not finish";
  return code;
}

std::string IniBytes(const std::string& kind, const std::string& repeat, const std::string& file) {
  return "[Section]\r\nBGM\x8b\xe6\x95\xaa=" + kind + "\r\nBGM\xd8\xcb\xdf\xb0\xc4=" + repeat +
         "\r\nBGM\xcc\xa7\xb2\xd9=" + file + "\r\n";
}

class Installer : public ScrCase {
 protected:
  void SetUp() override {
    ScrCase::SetUp();
    setup_ = Env("SORVANE_SETUP");
    release_bin_ = Env("SORVANE_RELEASE_BIN");
    if (setup_.empty() || release_bin_.empty()) GTEST_SKIP() << "SORVANE_SETUP and SORVANE_RELEASE_BIN not set";
    ASSERT_TRUE(FileExistsAt(setup_)) << setup_;
    CoInitialize(nullptr);
    dir_ = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Sorvane";
    scr_ = dir_ + "\\Sorvane.scr";
    lnk_ = ShellFolder(CSIDL_PROGRAMS) + "\\Sorvane.lnk";
  }
  void TearDown() override {
    CoUninitialize();
    ScrCase::TearDown();
  }

  // What the system starts at idle time: the installed saver by its short name.
  void ExpectSorvaneIsTheSaver() {
    char short_name[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(scr_.c_str(), short_name, MAX_PATH), 0u);
    EXPECT_EQ(RegText(kDesktop, "SCRNSAVE.EXE").value_or("(none)"), short_name);
    EXPECT_EQ(RegText(kDesktop, "ScreenSaveActive").value_or("(none)"), "1");
  }

  void RunTheSaver() {
    Process scr = StartProgram(scr_, "/s");
    ASSERT_TRUE(scr.started());
    HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
    ASSERT_NE(engine, nullptr) << "the installed saver showed no animation";
    // Puffs of light come up from below: wait until a good number of bright pixels show.
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int bright = 0;
    Capture shot;
    for (int i = 0; i < 80 && bright < 500; ++i) {
      PumpFor(250);
      shot = CaptureScreen(screen);
      bright = 0;
      for (uint32_t px : shot.pixels)
        bright += ((px >> 16) & 0xFF) > 150 && ((px >> 8) & 0xFF) > 150 && (px & 0xFF) > 150;
    }
    shot.SaveBmp(BinFolder() + "\\installed-saver.bmp");
    EXPECT_GE(bright, 500) << "no puffs on screen";
    SetForegroundWindow(engine);
    PumpFor(100);
    ASSERT_TRUE(PressKey(VK_ESCAPE));
    EXPECT_TRUE(scr.WaitExit(60000)) << "the saver did not end after Escape";
  }

  // Opens the Start-menu entry through the shell, as the Start menu does,
  // picks the audio CD in the settings, saves.
  void ChooseCdInTheSettings() {
    ASSERT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", lnk_.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
              32);
    HWND form = WaitForWindow(kDialogMarker, kStartTimeoutMs);
    ASSERT_NE(form, nullptr) << "no settings dialog";
    for (int i = 0; i < 200 && !IsWindowVisible(form); ++i) PumpFor(50);
    PumpFor(500);
    HWND set = nullptr;
    for (const ChildWindow& c : ListChildren(form))
      if (c.class_name == "Sorvane.Command" && c.text == saver::kTextSet) set = c.hwnd;
    ASSERT_NE(set, nullptr);
    ClickPanelControl(form, saver::layout::lbl_BGM[1]);
    RECT r{};
    GetWindowRect(set, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PumpFor(50);
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    EXPECT_TRUE(WaitWindowGone(kDialogMarker, 20000)) << "the dialog did not close";
  }

  void ExpectReleasedPrograms() {
    for (const char* name : kPrograms) {
      EXPECT_EQ(ReadFileBytes(dir_ + "\\" + name), ReadFileBytes(release_bin_ + "\\" + name))
          << name << " is not the released program";
      for (const char* left : {".new", ".old"})
        EXPECT_FALSE(FileExistsAt(dir_ + "\\" + name + left)) << name << left << " was left behind";
    }
  }

  static constexpr const char* kPrograms[] = {"Sorvane.scr", "Sorvane.dll", "SorvaneSettings.exe"};

  std::string setup_, release_bin_, dir_, scr_, lnk_;
};

TEST_F(Installer, InstallsRunsKeepsSettingsAndUninstallsCleanly) {
  SetText(kDesktop, "SCRNSAVE.EXE", kOtherSaver);
  SetText(kDesktop, "ScreenSaveActive", "0");
  ASSERT_FALSE(FileExistsAt(scr_)) << "the prefix is not fresh";

  // 1. Silent installation.
  ASSERT_EQ(RunToEnd(setup_, "/S"), 0u);
  ExpectReleasedPrograms();
  EXPECT_TRUE(FileExistsAt(dir_ + "\\Uninstall.exe"));
  EXPECT_FALSE(FileExistsAt(dir_ + "\\Sorvane.ini"));
  ExpectSorvaneIsTheSaver();

  const std::optional<Shortcut> entry = ReadShortcut(lnk_);
  ASSERT_TRUE(entry.has_value()) << "no Start-menu entry " << lnk_;
  // Not Sorvane.scr itself: the shell would open it with the .scr type's command.
  EXPECT_TRUE(SameText(entry->target, dir_ + "\\SorvaneSettings.exe")) << entry->target;
  EXPECT_EQ(entry->arguments, "");

  EXPECT_EQ(RegText(kUninstall, "DisplayName").value_or(""), "Sorvane");
  EXPECT_EQ(RegText(kUninstall, "DisplayVersion").value_or(""), Env("SORVANE_VERSION"));
  EXPECT_FALSE(RegText(kUninstall, "Publisher").value_or("").empty());
  EXPECT_TRUE(SameText(RegText(kUninstall, "DisplayIcon").value_or(""), scr_ + ",0"));
  const std::string uninstall = RegText(kUninstall, "UninstallString").value_or("");
  EXPECT_TRUE(SameText(uninstall, "\"" + dir_ + "\\Uninstall.exe\"")) << uninstall;
  // Programs of a few hundred kilobytes at least, in KiB.
  EXPECT_GE(RegNumber(kUninstall, "EstimatedSize").value_or(0), 100u);

  // 2. The installed saver runs, and its settings save beside it.
  RunTheSaver();
  ChooseCdInTheSettings();
  const std::string saved = IniBytes("1", "0", "");
  EXPECT_EQ(ReadFileBytes(dir_ + "\\Sorvane.ini"), saved);

  // 3. Installed again over older programs (one byte longer: they still run)
  //    while a preview and the settings dialog run from them: both are ended,
  //    every program is replaced, the settings stay, the previous saver is
  //    not forgotten.
  for (const char* name : kPrograms) {
    HANDLE f = CreateFileA((dir_ + "\\" + name).c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    WriteFile(f, "", 1, &written, nullptr);
    CloseHandle(f);
  }
  HWND host = CreateWindowExA(0, "STATIC", "Preview host", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112, nullptr,
                              nullptr, nullptr, nullptr);
  Process preview = StartProgram(scr_, "/p " + std::to_string(reinterpret_cast<intptr_t>(host)));
  for (int i = 0; i < 400 && ListChildren(host).empty(); ++i) PumpFor(50);
  ASSERT_FALSE(ListChildren(host).empty()) << "no preview in the host";
  Process dialog = StartProgram(scr_, "/c");
  ASSERT_NE(WaitForWindow(kDialogMarker, kStartTimeoutMs), nullptr) << "no settings dialog";
  ASSERT_EQ(RunToEnd(setup_, "/S"), 0u);
  EXPECT_TRUE(preview.WaitExit(5000)) << "the preview still runs";
  // Closed as by its close box (like Cancel), not terminated (exit code 1).
  DWORD code = 1;
  EXPECT_TRUE(dialog.WaitExit(5000, &code)) << "the settings dialog still runs";
  EXPECT_EQ(code, 0u);
  DestroyWindow(host);
  ExpectReleasedPrograms();
  EXPECT_EQ(ReadFileBytes(dir_ + "\\Sorvane.ini"), saved);
  ExpectSorvaneIsTheSaver();

  // 4. Uninstalled as the list of programs does it, silently. The uninstaller
  //    hands over to a copy of itself and returns at once: wait for its work.
  //    The saver runs meanwhile: the uninstaller ends it.
  Process run = StartProgram(scr_, "/s");
  ASSERT_NE(WaitForWindow(kEngineTitle, kStartTimeoutMs), nullptr) << "the saver did not start";
  // Asked alone, the setup's helper leaves a run be and says so (the setup
  // then asks the user).
  EXPECT_EQ(RunToEnd(release_bin_ + "\\CloseSorvane.exe", "\"" + dir_ + "\""), 1u);
  EXPECT_TRUE(run.Running());
  ASSERT_EQ(uninstall.front(), '"');
  RunToEnd(uninstall.substr(1, uninstall.size() - 2), "/S");
  // Ended through its engine's window, so with its music stopped.
  EXPECT_TRUE(run.WaitExit(60000, &code)) << "the saver still runs";
  EXPECT_EQ(code, 0u);
  for (int i = 0; i < 240 && (GetFileAttributesA(dir_.c_str()) != INVALID_FILE_ATTRIBUTES ||
                              KeyExists(kUninstall));
       ++i)
    PumpFor(250);
  EXPECT_EQ(GetFileAttributesA(dir_.c_str()), INVALID_FILE_ATTRIBUTES) << dir_ << " is still there";
  EXPECT_FALSE(KeyExists(kUninstall));
  EXPECT_FALSE(KeyExists("Software\\Sorvane"));
  EXPECT_FALSE(FileExistsAt(lnk_));
  EXPECT_EQ(RegText(kDesktop, "SCRNSAVE.EXE").value_or("(none)"), kOtherSaver);
  EXPECT_EQ(RegText(kDesktop, "ScreenSaveActive").value_or("(none)"), "0");
}

}  // namespace
}  // namespace sorvane::e2e
