// Entry of Sorvane.scr on Windows: reads the command line and the program
// folder, runs the start-up sequence, then lives as long as its form.
#include "saver/launcher/main_win32.h"

#include <cstdio>
#include <cstdlib>

#include "saver/dialog/dialog.h"
#include "saver/launcher/forms.h"
#include "saver/launcher/main.h"
#include "saver/settings/settings_store.h"
#include "saver/launcher/text_win32.h"
#include "saver/launcher/utilities.h"

namespace sorvane::saver {

std::string CommandLineText(const char* full) {
  if (full == nullptr) return std::string();
  const char* p = full;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return std::string(p);
}

FolderNames ModuleFolder() {
  // Asked for in UTF-16: the "A" call would answer in the system's code page,
  // and a folder that code page 932 cannot hold must still be found.
  std::wstring wide(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, &wide[0], static_cast<DWORD>(wide.size()));
  if (n == 0 || n >= wide.size()) return FolderNames{};
  wide.resize(n);
  return FolderOf(wide, ShortPathOf);
}

int ShowCursorTraced(bool show) {
  const int count = ShowCursor(show ? TRUE : FALSE);
#ifdef SORVANE_TEST_HOOKS  // release builds carry no test hooks
  char trace[MAX_PATH] = {};
  if (GetEnvironmentVariableA("SORVANE_CURSOR_TRACE", trace, sizeof trace) > 0) {
    if (FILE* f = std::fopen(trace, "ab")) {
      std::fprintf(f, "%s %d\n", show ? "show" : "hide", count);
      std::fclose(f);
    }
  }
#endif
  return count;
}

const std::string& ProcessCommandLine() {
  static const std::string line = CommandLineText(GetCommandLineA());
  return line;
}

namespace {

class Win32Startup : public StartupPort {
 public:
  bool WindowExists(const std::string& title) override {
    return FindWindowA(nullptr, title.c_str()) != nullptr;
  }
  void StartPreview(int32_t parent) override { StartPreviewWindow(parent); }
  void LoadSettings() override { sorvane::saver::LoadSettings(); }
  bool FileExists(const std::string& path) override { return sorvane::saver::FileExists(path); }
  void ShowMessage(const std::string& text) override {
    MessageBox932(nullptr, text, kAppTitle, 0);
  }
  void ShowSettingsDialog() override { sorvane::saver::ShowSettingsDialog(); }
  void HideCursor() override { ShowCursorTraced(false); }
  void LoadSaverForm() override { sorvane::saver::LoadSaverForm(); }
  void EndProgram() override { ExitProcess(0); }
};

}  // namespace
}  // namespace sorvane::saver

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace sorvane::saver;
  const FolderNames folder = ModuleFolder();
  ProgramFolder = folder.text;
  ProgramFolderW = folder.wide;
  Win32Startup port;
  if (Main(port, ProcessCommandLine(), ProgramFolder) == StartupOutcome::Ended) {
    ExitProcess(0);
  }
  RunMessageLoop();
  ExitProcess(0);
}
