// CloseSorvane.exe, run by the setup and the uninstaller from their temporary
// folder: ends the Sorvane processes started from the installed folder, so
// that its files can be replaced or removed.
//   CloseSorvane.exe "<folder>"        ends previews and other windowless
//                                      starts; leaves dialogs and runs alone
//   CloseSorvane.exe "<folder>" /all   ends everything
// It waits for what it ends. Exit code: 0 when none is left, 1 when a
// settings dialog or a saver run is open (without /all), 2 when a process
// would not end, 3 on a bad command line.
//
// A preview is ended without asking: the display settings start it again.
// A settings dialog and a run are the user's; the caller asks first. Both are
// closed as the user would close them where they can be (the dialog's close
// box, which cancels; the engine window, whose end ends the run and its
// music), and only then terminated.
#include <windows.h>
#include <tlhelp32.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

enum class Kind { Quiet, Dialog, Run };

struct Found {
  DWORD id;
  HANDLE handle;
  Kind kind = Kind::Quiet;
  std::vector<HWND> to_close;  // the windows whose closing ends it gently
};

std::wstring LongPath(const std::wstring& path) {
  std::wstring out(32768, L'\0');
  DWORD n = GetLongPathNameW(path.c_str(), &out[0], static_cast<DWORD>(out.size()));
  if (n == 0 || n >= out.size()) return path;
  out.resize(n);
  return out;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The folder of a process's program file, in its long form; empty when it
// cannot be read (a process of another user, or one that has just ended).
std::wstring ProgramOf(HANDLE process, std::wstring* file_name) {
  std::wstring path(32768, L'\0');
  DWORD n = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, &path[0], &n)) return {};
  path = LongPath(path.substr(0, n));
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  *file_name = path.substr(slash + 1);
  return path.substr(0, slash);
}

DWORD ParentId() {
  DWORD parent = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry))
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  CloseHandle(snap);
  return parent;
}

// Every process whose program lies in `folder`, but the uninstaller (its
// first copy may not have ended yet) and whoever started this one.
std::vector<Found> FindIn(const std::wstring& folder) {
  std::vector<Found> found;
  const DWORD self = GetCurrentProcessId(), parent = ParentId();
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry)) {
    const DWORD id = entry.th32ProcessID;
    if (id == 0 || id == self || id == parent) continue;
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (h == nullptr) continue;
    std::wstring name;
    if (SameText(ProgramOf(h, &name), folder) && !SameText(name, L"Uninstall.exe"))
      found.push_back(Found{id, h, Kind::Quiet, {}});
    else
      CloseHandle(h);
  }
  CloseHandle(snap);
  return found;
}

// Tells a dialog and a run from the rest by their marker windows: the
// settings dialog "<Sorvane>", the hidden saver form "Sorvane_Main" and the
// engine window "SorvaneVC". A preview has no top-level window of these.
BOOL CALLBACK Classify(HWND window, LPARAM param) {
  auto& found = *reinterpret_cast<std::vector<Found>*>(param);
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  wchar_t title[32] = {};
  GetWindowTextW(window, title, 32);
  const std::wstring t = title;
  for (Found& f : found) {
    if (f.id != id) continue;
    if (t == L"<Sorvane>") {
      f.kind = Kind::Dialog;
      f.to_close.push_back(window);
    } else if (t == L"SorvaneVC") {
      f.kind = Kind::Run;
      f.to_close.push_back(window);
    } else if (t == L"Sorvane_Main" && f.kind == Kind::Quiet) {
      f.kind = Kind::Run;  // ends by itself once its engine has gone
    }
  }
  return TRUE;
}

// Waits until every one of `found` has ended or `ms` have passed.
bool WaitAll(const std::vector<Found>& found, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (const Found& f : found) {
    const ULONGLONG now = GetTickCount64();
    if (WaitForSingleObject(f.handle, now < end ? static_cast<DWORD>(end - now) : 0) != WAIT_OBJECT_0)
      return false;
  }
  return true;
}

// One pass over what runs now: 0, 1 or 2 as for the exit code.
int EndOnce(const std::wstring& folder, bool all, bool* found_any) {
  std::vector<Found> found = FindIn(folder);
  EnumWindows(Classify, reinterpret_cast<LPARAM>(&found));
  *found_any = !found.empty();
  bool left_open = false;
  std::vector<Found> ending;
  for (Found& f : found) {
    if (f.kind != Kind::Quiet && !all) {
      left_open = true;
      CloseHandle(f.handle);
      continue;
    }
    if (f.kind == Kind::Quiet) TerminateProcess(f.handle, 1);
    for (HWND w : f.to_close) PostMessageW(w, WM_CLOSE, 0, 0);
    ending.push_back(f);
  }
  // A closed engine takes its run along within a fraction of a second.
  if (!WaitAll(ending, 5000)) {
    for (const Found& f : ending) TerminateProcess(f.handle, 1);
  }
  const bool ended = WaitAll(ending, 5000);
  for (const Found& f : ending) CloseHandle(f.handle);
  if (!ended) return 2;
  return left_open ? 1 : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2 || argc > 3) return 3;
  const bool all = argc == 3 && SameText(argv[2], L"/all");
  if (argc == 3 && !all) return 3;
  std::wstring folder = LongPath(argv[1]);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();

  // A run's saver may start its engine while the first pass ends the rest,
  // and a preview may be started again: look until a pass finds nothing.
  int result = 0;
  for (int pass = 0; pass < 4; ++pass) {
    bool found_any = false;
    result = EndOnce(folder, all, &found_any);
    if (!found_any || result != 0) break;
  }
  return result;
}
