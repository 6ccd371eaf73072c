// The settings file where there are no profile functions: our own reader and
// writer, with the same results.
#include "profile.h"
#include "settings_port.h"
#include "utilities.h"

namespace sorvane::saver {

namespace {

class PosixSettingsPort : public SettingsPort {
 public:
  std::string ReadValue(const std::string& path, const std::string& section,
                        const std::string& key) override {
    return profile::GetString(PlatformPath(path), section, key);
  }
  int32_t WriteValue(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
    return profile::WriteString(PlatformPath(path), section, key, value) ? 1 : 0;
  }
  bool FileExists(const std::string& path) override { return saver::FileExists(path); }
};

}  // namespace

SettingsPort& PlatformSettingsPort() {
  static PosixSettingsPort port;
  return port;
}

std::string PlatformPath(const std::string& path) {
  // Only backslash characters: the second byte of a two-byte character (95 5C
  // is 表) stays as it is.
  std::string p = path;
  for (size_t i = 0; i < p.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (profile::IsLeadByte(c) && i + 1 < p.size()) {
      ++i;
    } else if (c == '\\') {
      p[i] = '/';
    }
  }
  return p;
}

}  // namespace sorvane::saver
