// The settings file through kernel32's profile functions.
#include <windows.h>

#include <vector>

#include "settings_port.h"
#include "utilities.h"

namespace sorvane::saver {

namespace {

// No music path comes near this; it only bounds a junk file.
constexpr DWORD kLargestValue = 1u << 24;

class Win32SettingsPort : public SettingsPort {
 public:
  std::string ReadValue(const std::string& path, const std::string& section,
                        const std::string& key) override {
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
