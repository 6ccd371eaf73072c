// The music port over winmm: MCI command strings, MCI error texts, the wave
// output device count and PlaySoundA.
#include <windows.h>
// mmsystem.h needs the types of windows.h.
#include <mmsystem.h>

#include <vector>

#include "bgm_platform.h"

namespace sorvane::saver {
namespace {

class WinmmBgmPlatform final : public BgmPlatform {
 public:
  int32_t SendString(const std::string& command, std::size_t reply_capacity,
                     std::string* reply) override {
    reply->clear();
    if (reply_capacity == 0) {
      return static_cast<int32_t>(mciSendStringA(command.c_str(), nullptr, 0, nullptr));
    }
    // One character more than announced, so the text always ends in a NUL.
    std::vector<char> buffer(reply_capacity + 1, '\0');
    const MCIERROR code =
        mciSendStringA(command.c_str(), buffer.data(), static_cast<UINT>(reply_capacity), nullptr);
    *reply = buffer.data();
    return static_cast<int32_t>(code);
  }

  bool GetErrorString(int32_t code, std::size_t capacity, std::string* text) override {
    text->clear();
    std::vector<char> buffer(capacity + 1, '\0');
    if (!mciGetErrorStringA(static_cast<MCIERROR>(code), buffer.data(),
                            static_cast<UINT>(capacity))) {
      return false;
    }
    *text = buffer.data();
    return true;
  }

  uint32_t WaveOutDeviceCount() override { return waveOutGetNumDevs(); }

  void PlaySystemSound(const char* name, uint32_t flags) override {
    PlaySoundA(name, nullptr, flags);
  }
};

}  // namespace

BgmPlatform& DefaultBgmPlatform() {
  static WinmmBgmPlatform winmm;
  return winmm;
}

}  // namespace sorvane::saver
