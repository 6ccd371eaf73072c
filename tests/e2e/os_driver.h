// Playing the operating system's part for end-to-end tests of Sorvane.scr:
// starting programs in a private copy of the bin folder, finding and listing
// windows, sending input, reading pixels back from the screen and reading
// files. Every wait is bounded. Windows only (runs under Wine here).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sorvane::e2e {

// The folder that holds this test program (the build's bin folder).
std::string BinFolder();

// A fresh folder for one test case, holding copies of some programs of the
// bin folder under names of the test's choosing. Removed again on destruction.
class CaseFolder {
 public:
  explicit CaseFolder(const std::string& name);
  ~CaseFolder();
  CaseFolder(const CaseFolder&) = delete;
  CaseFolder& operator=(const CaseFolder&) = delete;

  // Copies bin/<from> to <folder>/<to>; false when it failed.
  bool Copy(const std::string& from, const std::string& to);
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// A program started by the driver. The destructor ends it if it still runs.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  bool Running() const;
  // Waits (delivering this thread's messages) until the process has ended.
  // False on timeout. *exit_code gets its exit code.
  bool WaitExit(DWORD timeout_ms, DWORD* exit_code = nullptr) const;
  void Kill();

 private:
  friend Process StartProgram(const std::string&, const std::string&, const std::string&);
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Starts `program` with the command line `"program" arguments` (or just the
// quoted program when `arguments` is empty), as the system starts a screen
// saver. `folder` is the working folder (the program's own when empty).
Process StartProgram(const std::string& program, const std::string& arguments,
                     const std::string& folder = std::string());

// Delivers the messages of this thread for up to `ms` milliseconds.
void PumpFor(DWORD ms);

// The first top-level window with exactly this title (and class, when given),
// waiting up to `timeout_ms` while delivering this thread's messages.
HWND WaitForWindow(const char* title, DWORD timeout_ms, const char* class_name = nullptr);
// Waits until no top-level window has this title. False on timeout.
bool WaitWindowGone(const char* title, DWORD timeout_ms);
// All top-level windows with exactly this title.
std::vector<HWND> WindowsTitled(const char* title);

struct ChildWindow {
  HWND hwnd;
  std::string class_name;
  std::string text;  // GetWindowTextA: code page 932 bytes
  int id;
  LONG style;
};
// The child windows of `parent` (all levels), in the order the system lists them.
std::vector<ChildWindow> ListChildren(HWND parent);

// Ends every process that owns a top-level window with one of these titles.
void KillOwnersOf(const std::vector<std::string>& titles);

// 32-bit pixels (0x00RRGGBB) of a screen rectangle, top row first.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // Writes a 24-bit BMP (for looking at what was drawn).
  bool SaveBmp(const std::string& path) const;
};
Capture CaptureScreen(const RECT& screen_rect);
// The monitors of the desktop, the primary one first.
std::vector<RECT> MonitorRects();
// Reads a 24-bit or 32-bit BMP file into the same form; empty on failure.
Capture LoadBmp(const std::string& path);

// Input as the user gives it.
bool PressKey(WORD virtual_key);          // key down and up, to the foreground window
bool ClickAt(int screen_x, int screen_y);  // left button

// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExistsAt(const std::string& path);

// Milliseconds from a monotonic high-resolution clock.
double NowMs();

}  // namespace sorvane::e2e
