// The hidden saver form on Win32: timers on its window, the engine started as
// a process, the music module behind the port.
#include <windows.h>

#include <memory>

#include "saver/launcher/forms.h"
#include "saver/launcher/main_win32.h"
#include "saver/launcher/saver_run.h"
#include "saver/launcher/text_win32.h"
#include "saver/settings/settings_store.h"
#include "saver/launcher/utilities.h"
#include "saver/music/bgm.h"

namespace sorvane::saver {
namespace {

class SaverForm : public Form, public SaverRunPort {
 public:
  SaverForm()
      : form_(*this, BgmKind, BgmFile, ProcessCommandLine(), ProgramFolder) {}
  ~SaverForm() override {
    if (engine_ != nullptr) CloseHandle(engine_);
  }

  void Load() {
    // A real top-level window, so that other starts find the marker; never shown.
    const bool made = Create(kSaverFormCaption, WS_OVERLAPPEDWINDOW, 0, nullptr);
    form_.Load(made);
  }

  // SaverRunPort
  bool StartProgram(const std::string& path) override {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    // The path as the application name (its file name ends in ".dll"), and
    // quoted as the whole command line, so that a folder with blanks reaches
    // the engine as its program name and not as arguments.
    // The path is code page 932; the program folder goes by its UTF-16 name.
    const std::wstring program = WidePath(path);
    std::wstring command = L"\"" + program + L"\"";
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
      return false;
    }
    // We have no visible window to hand the foreground over from: give the
    // engine the right to take it, or its window may open without the
    // keyboard (and, inactive, close at once).
    AllowSetForegroundWindow(pi.dwProcessId);
    CloseHandle(pi.hThread);
    engine_ = pi.hProcess;
    return true;
  }
  bool ProgramRunning() override {
    return engine_ != nullptr && WaitForSingleObject(engine_, 0) == WAIT_TIMEOUT;
  }
  void StopProgram() override {
    if (engine_ != nullptr && WaitForSingleObject(engine_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(engine_, 0);
      WaitForSingleObject(engine_, 2000);  // its window is gone once it has ended
    }
  }
  bool WindowExists(const std::string& title) override {
    return FindWindowA(nullptr, title.c_str()) != nullptr;
  }
  bool ProgramWindowHung(const std::string& title) override {
    // FindWindowA reads titles without sending messages, so a hung engine
    // cannot hang the watch; only our own engine is ever judged.
    HWND window = FindWindowA(nullptr, title.c_str());
    if (window == nullptr || engine_ == nullptr) return false;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == GetProcessId(engine_) && IsHungAppWindow(window);
  }
  uint64_t NowMs() override { return GetTickCount64(); }
  void ShowCursor() override { ShowCursorTraced(true); }
  void SetTimerEnabled(SaverTimer timer, bool enabled) override {
    const int i = static_cast<int>(timer);
    EnableTimer(static_cast<UINT_PTR>(i + 1), kSaverTimers[i].interval_ms, enabled);
  }
  void CdOpen() override { sorvane::saver::CdOpen(); }
  void CdPoll() override { sorvane::saver::CdPoll(); }
  bool CdPolling() override { return sorvane::saver::CdPolling; }
  void CdStop() override { sorvane::saver::CdStop(); }
  void Mp3Open() override { sorvane::saver::Mp3Open(); }
  void Mp3Poll() override { sorvane::saver::Mp3Poll(); }
  void Mp3Stop() override { sorvane::saver::Mp3Stop(); }
  void WavPlay() override { sorvane::saver::WavPlay(); }
  void WavStop() override { sorvane::saver::WavStop(); }
  void EndProgram() override { ExitProcess(0); }

 protected:
  void OnTimer(UINT_PTR id) override {
    if (id >= 1 && id <= 3) form_.OnTimer(static_cast<SaverTimer>(id - 1));
  }
  bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT* result) override {
    // An unload asked for from outside (log-off, a close request) ends the run
    // the same way as the watch's own.
    if (msg == WM_QUERYENDSESSION || msg == WM_CLOSE) {
      form_.Form_QueryUnload();
      *result = msg == WM_QUERYENDSESSION ? TRUE : 0;
      return true;
    }
    return false;
  }

 private:
  Sorvane_S form_;
  HANDLE engine_ = nullptr;
};

}  // namespace

void LoadSaverForm() {
  // Lives until the process ends.
  static SaverForm* form = new SaverForm();
  form->Load();
}

}  // namespace sorvane::saver
