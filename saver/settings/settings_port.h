// What the settings store needs from the platform: one value read, one value
// written, and the music-file check.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

class SettingsPort {
 public:
  virtual ~SettingsPort() = default;
  // The whole value, without surrounding blanks; empty for a missing file,
  // section or key.
  virtual std::string ReadValue(const std::string& path, const std::string& section,
                                const std::string& key) = 0;
  // Creates what is missing. The platform's result: non-zero on success.
  virtual int32_t WriteValue(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
  virtual bool FileExists(const std::string& path) = 0;
};

// Windows: the kernel32 profile functions. Elsewhere: our own profile files.
SettingsPort& PlatformSettingsPort();

// Tests put a fake in place; nullptr goes back to the platform's port.
void UseSettingsPort(SettingsPort* port);

// The program builds paths the Windows way ("folder\Sorvane.ini"); this gives
// the platform's own form (on Linux every backslash becomes a slash).
std::string PlatformPath(const std::string& path);

}  // namespace sorvane::saver
