#include "text_win32.h"

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

int MessageBox932(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  return MessageBoxW(owner, WideFrom932(text).c_str(), WideFrom932(caption).c_str(), style);
}

bool SystemIs932() { return GetACP() == kCp932; }

}  // namespace sorvane::saver
