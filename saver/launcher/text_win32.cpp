#include "text_win32.h"

#include "utilities.h"

namespace sorvane::saver {

constexpr UINT kCp932 = 932;

std::wstring WideFrom932(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(kCp932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCp932, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

std::optional<std::string> Text932From(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int len = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text.data(), len, nullptr, 0,
                                    nullptr, &lossy);
  if (n <= 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, text.data(), len, &bytes[0], n, nullptr, &lossy);
  // The round trip must give the same characters back, or the bytes would name
  // another file than the one chosen.
  if (lossy || WideFrom932(bytes) != text) return std::nullopt;
  return bytes;
}

std::optional<std::string> PathFor932(const std::wstring& path, const ShortNameFn& short_name) {
  if (std::optional<std::string> bytes = Text932From(path)) return bytes;
  const std::wstring alias = short_name ? short_name(path) : std::wstring();
  if (alias.empty() || alias == path) return std::nullopt;
  return Text932From(alias);
}

std::wstring ShortPathOf(const std::wstring& path) {
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return std::wstring();
  std::wstring alias(n, L'\0');
  const DWORD got = GetShortPathNameW(path.c_str(), &alias[0], n);
  if (got == 0 || got >= n) return std::wstring();
  alias.resize(got);
  return alias;
}

std::optional<std::string> PathFor932(const std::wstring& path) {
  return PathFor932(path, ShortPathOf);
}

std::string Text932WithStandIns(const std::wstring& text) {
  if (std::optional<std::string> whole = Text932From(text)) return *whole;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A character beyond 16 bits is one character in two units.
    const std::size_t units =
        IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
    const std::optional<std::string> one = Text932From(text.substr(i, units));
    bytes += one ? *one : std::string("?");
    i += units - 1;
  }
  return bytes;
}

FolderNames FolderOf(const std::wstring& program_path, const ShortNameFn& short_name) {
  const std::size_t last = program_path.rfind(L'\\');
  if (last == std::wstring::npos) return FolderNames{};
  FolderNames folder;
  folder.wide = program_path.substr(0, last);
  folder.text = PathFor932(folder.wide, short_name).value_or(std::string());
  if (folder.text.empty()) folder.text = Text932WithStandIns(folder.wide);
  return folder;
}

std::wstring WidePathIn(const std::string& path, const FolderNames& folder) {
  const std::size_t n = folder.text.size();
  // The text ends on a whole character, so a 5C right after it is a backslash.
  if (n > 0 && !folder.wide.empty() && path.compare(0, n, folder.text) == 0 &&
      (path.size() == n || path[n] == '\\')) {
    return folder.wide + WideFrom932(path.substr(n));
  }
  return WideFrom932(path);
}

std::wstring WidePath(const std::string& path) {
  return WidePathIn(path, FolderNames{ProgramFolder, ProgramFolderW});
}

int MessageBox932(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return MessageBoxW(owner, WideFrom932(text).c_str(), WideFrom932(caption).c_str(), style);
}

bool SystemIs932() { return GetACP() == kCp932; }

}  // namespace sorvane::saver
