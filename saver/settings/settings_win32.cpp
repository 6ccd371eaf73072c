// The settings file on Windows: kernel32's profile functions where the system's
// code page is 932, our own reader and writer (the same results) elsewhere. The
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
    // The call cuts a long value to the buffer and then returns size - 1:
    // grow the buffer until the whole value fits.
    std::vector<char> buf;
    for (DWORD size = 256;; size *= 2) {
      buf.assign(size, '\0');
      DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buf.data(), size,
                                         path.c_str());
      if (n < size - 1 || size >= kLargestValue) return std::string(buf.data());
    }
  }
  int32_t WriteValue(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
    if (!SystemIs932()) return profile::WriteString(path, section, key, value) ? 1 : 0;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
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
