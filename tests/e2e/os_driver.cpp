#include "os_driver.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "saver/win32/dib.h"

namespace sorvane::e2e {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = folder + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

struct TitleSearch {
  const char* title;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTitled(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<TitleSearch*>(lparam);
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  if (std::string(text) == search->title) search->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lparam) {
  auto* out = reinterpret_cast<std::vector<ChildWindow>*>(lparam);
  char cls[128] = {};
  char text[512] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, text, sizeof text);
  out->push_back(ChildWindow{hwnd, cls, text, GetDlgCtrlID(hwnd), GetWindowLongA(hwnd, GWL_STYLE)});
  return TRUE;
}

}  // namespace

std::string BinFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return FolderOf(path);
}

CaseFolder::CaseFolder(const std::string& name) {
  const std::string root = FolderOf(BinFolder()) + "\\e2e-work";
  CreateDirectoryA(root.c_str(), nullptr);
  // A blank in the folder name: paths with blanks must survive every start.
  path_ = root + "\\" + name + " " + std::to_string(GetCurrentProcessId());
  RemoveTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

CaseFolder::~CaseFolder() {
  // Programs just ended may hold their files for a moment.
  for (int i = 0; i < 20 && GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
    RemoveTree(path_);
    if (GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(50);
  }
}

bool CaseFolder::Copy(const std::string& from, const std::string& to) {
  return CopyFileA((BinFolder() + "\\" + from).c_str(), File(to).c_str(), FALSE) != FALSE;
}

Process::~Process() { Kill(); }

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Kill();
    process_ = std::exchange(other.process_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

bool Process::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeout_ms, DWORD* exit_code) const {
  if (process_ == nullptr) return false;
  const double end = NowMs() + timeout_ms;
  for (;;) {
    const double left = end - NowMs();
    const DWORD wait = left > 0 ? static_cast<DWORD>(left) : 0;
    const DWORD r = MsgWaitForMultipleObjects(1, &process_, FALSE, wait, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      if (exit_code != nullptr) GetExitCodeProcess(process_, exit_code);
      return true;
    }
    if (r != WAIT_OBJECT_0 + 1) return false;  // timeout or failure
    PumpFor(0);
  }
}

void Process::Kill() {
  if (process_ == nullptr) return;
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
  id_ = 0;
}

Process StartProgram(const std::string& program, const std::string& arguments,
                     const std::string& folder) {
  std::string command = "\"" + program + "\"";
  if (!arguments.empty()) command += " " + arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  Process p;
  const std::string cwd = folder.empty() ? FolderOf(program) : folder;
  if (CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                     cwd.c_str(), &si, &pi)) {
    CloseHandle(pi.hThread);
    p.process_ = pi.hProcess;
    p.id_ = pi.dwProcessId;
  }
  return p;
}

void PumpFor(DWORD ms) {
  const double end = NowMs() + ms;
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (ms > 0) Sleep(1);
  } while (NowMs() < end);
}

std::vector<HWND> WindowsTitled(const char* title) {
  TitleSearch search{title, {}};
  EnumWindows(&CollectTitled, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const char* title, DWORD timeout_ms, const char* class_name) {
  const double end = NowMs() + timeout_ms;
  for (;;) {
    if (HWND w = FindWindowA(class_name, title)) return w;
    if (NowMs() >= end) return nullptr;
    PumpFor(5);
  }
}

bool WaitWindowGone(const char* title, DWORD timeout_ms) {
  const double end = NowMs() + timeout_ms;
  for (;;) {
    if (FindWindowA(nullptr, title) == nullptr) return true;
    if (NowMs() >= end) return false;
    PumpFor(1);
  }
}

std::vector<ChildWindow> ListChildren(HWND parent) {
  std::vector<ChildWindow> out;
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

void KillOwnersOf(const std::vector<std::string>& titles) {
  for (const auto& title : titles) {
    for (HWND w : WindowsTitled(title.c_str())) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == 0 || pid == GetCurrentProcessId()) continue;
      if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(h, 99);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
      }
    }
  }
}

Capture CaptureScreen(const RECT& r) {
  Capture c;
  c.width = r.right - r.left;
  c.height = r.bottom - r.top;
  if (c.width <= 0 || c.height <= 0) return Capture{};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP dib = saver::CreateDib(screen, c.width, c.height, 32, true, &bits);  // top row first
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, c.width, c.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* px = static_cast<const uint32_t*>(bits);
  c.pixels.assign(px, px + static_cast<size_t>(c.width) * c.height);
  for (auto& p : c.pixels) p &= 0x00FFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return c;
}

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM lparam) {
  auto* out = reinterpret_cast<std::vector<RECT>*>(lparam);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  if (info.dwFlags & MONITORINFOF_PRIMARY) {
    out->insert(out->begin(), info.rcMonitor);
  } else {
    out->push_back(info.rcMonitor);
  }
  return TRUE;
}
}  // namespace

std::vector<RECT> MonitorRects() {
  std::vector<RECT> out;
  EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&out));
  return out;
}

bool Capture::SaveBmp(const std::string& path) const {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = saver::DibInfo(width, height, 24, false).bmiHeader;  // bottom row first
  ih.biSizeImage = stride * height;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
  std::vector<char> row(stride, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = At(x, y);
      row[x * 3 + 0] = static_cast<char>(p & 0xFF);
      row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
    }
    out.write(row.data(), stride);
  }
  return static_cast<bool>(out);
}

Capture LoadBmp(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return Capture{};
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER ih;
  memcpy(&fh, bytes.data(), sizeof fh);
  memcpy(&ih, bytes.data() + sizeof fh, sizeof ih);
  if (fh.bfType != 0x4D42 || (ih.biBitCount != 24 && ih.biBitCount != 32) ||
      ih.biCompression != BI_RGB || ih.biWidth <= 0 || ih.biHeight == 0) {
    return Capture{};
  }
  Capture c;
  c.width = ih.biWidth;
  c.height = ih.biHeight < 0 ? -ih.biHeight : ih.biHeight;
  const int bpp = ih.biBitCount / 8;
  const size_t stride = (static_cast<size_t>(c.width) * bpp + 3) & ~size_t{3};
  if (fh.bfOffBits + stride * c.height > bytes.size()) return Capture{};
  c.pixels.resize(static_cast<size_t>(c.width) * c.height);
  for (int y = 0; y < c.height; ++y) {
    const int src_row = ih.biHeight > 0 ? c.height - 1 - y : y;
    const auto* row =
        reinterpret_cast<const unsigned char*>(bytes.data() + fh.bfOffBits + stride * src_row);
    for (int x = 0; x < c.width; ++x) {
      const unsigned char* p = row + x * bpp;
      c.pixels[static_cast<size_t>(y) * c.width + x] = p[0] | (p[1] << 8) | (p[2] << 16);
    }
  }
  return c;
}

bool PressKey(WORD vk) {
  INPUT in[2] = {};
  in[0].type = INPUT_KEYBOARD;
  in[0].ki.wVk = vk;
  in[1] = in[0];
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, in, sizeof(INPUT)) == 2;
}

bool ClickAt(int x, int y) {
  if (!SetCursorPos(x, y)) return false;
  INPUT in[2] = {};
  in[0].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1] = in[0];
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInput(2, in, sizeof(INPUT)) == 2;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExistsAt(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace sorvane::e2e
