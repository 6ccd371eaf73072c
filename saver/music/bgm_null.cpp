// The music port for a machine without MCI or wave output: no device can be
// opened, every command fails with a code that has a text, and there is no
// wave device, so nothing ever plays. The default where winmm is missing.
#include "bgm_platform.h"

namespace sorvane::saver {
namespace {

// "The device is not available on this system"; the number is the one MCI
// uses for an unknown device name.
constexpr int32_t kNoDeviceCode = 263;
const char kNoDeviceText[] = "No MCI device is available on this system.";

std::string Cut(const std::string& text, std::size_t capacity) {
  return capacity == 0 ? std::string() : text.substr(0, capacity - 1);
}

class NoDeviceBgmPlatform final : public BgmPlatform {
 public:
  int32_t SendString(const std::string&, std::size_t, std::string* reply) override {
    reply->clear();
    return kNoDeviceCode;
  }
  bool GetErrorString(int32_t code, std::size_t capacity, std::string* text) override {
    text->clear();
    if (code != kNoDeviceCode || capacity == 0) return false;
    *text = Cut(kNoDeviceText, capacity);
    return true;
  }
  uint32_t WaveOutDeviceCount() override { return 0; }
  void PlaySystemSound(const char*, uint32_t) override {}
};

}  // namespace

BgmPlatform& DefaultBgmPlatform() {
  static NoDeviceBgmPlatform platform;
  return platform;
}

}  // namespace sorvane::saver
