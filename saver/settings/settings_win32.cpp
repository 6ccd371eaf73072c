// The settings file on Windows: kernel32's profile functions where the system's
// code page is 932 (the wide ones, so that the program folder can have any
// name), our own reader and writer (the same results) elsewhere. The
// file holds code page 932 bytes on every system; the profile functions would
// read and write it in the system's code page instead, so a Chinese or Korean
// system would lose the keys, and every other system the Japanese file names.
#include <windows.h>

#include <vector>

#include "profile.h"
#include "settings_port.h"
#include "text_win32.h"
#include "utilities.h"

namespace sorvane::saver {

namespace {

// No music path comes near this; it only bounds a junk file.
constexpr DWORD kLargestValue = 1u << 24;

class Win32SettingsPort : public SettingsPort {
 public:
  std::string ReadValue(const std::string& path, const std::string& section,
                        const std::string& key) override {
    if (!SystemIs932()) return profile::GetString(path, section, key);
    // The wide call with our own conversions is what the "A" call does inside
    // on a code page 932 system; it also takes the program folder by its
    // UTF-16 name, which code page 932 may not hold.
    const std::wstring file = WidePath(path);
    const std::wstring wsection = WideFrom932(section);
    const std::wstring wkey = WideFrom932(key);
    // The call cuts a long value to the buffer and then returns size - 1:
    // grow the buffer until the whole value fits.
    std::vector<wchar_t> buf;
    for (DWORD size = 256;; size *= 2) {
      buf.assign(size, L'\0');
      DWORD n = GetPrivateProfileStringW(wsection.c_str(), wkey.c_str(), L"", buf.data(), size,
                                         file.c_str());
      if (n < size - 1 || size >= kLargestValue) return Text932WithStandIns(buf.data());
    }
  }
  int32_t WriteValue(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
    if (!SystemIs932()) return profile::WriteString(path, section, key, value) ? 1 : 0;
    // A new file is written in the system's code page, 932 here.
    return WritePrivateProfileStringW(WideFrom932(section).c_str(), WideFrom932(key).c_str(),
                                      WideFrom932(value).c_str(), WidePath(path).c_str());
  }
  bool FileExists(const std::string& path) override { return saver::FileExists(path); }
};

}  // namespace

SettingsPort& PlatformSettingsPort() {
  static Win32SettingsPort port;
  return port;
}

std::string PlatformPath(const std::string& path) { return path; }

}  // namespace sorvane::saver
