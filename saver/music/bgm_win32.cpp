// The music port over winmm: MCI command strings, MCI error texts, the wave
// output device count and the looping sound call. The module's texts (file
// paths inside commands too) are code page 932: they go to the wide calls,
// converted explicitly, so that any system code page reads them as meant.
#include <windows.h>
// mmsystem.h needs the types of windows.h.
#include <mmsystem.h>

#include <vector>

#include "bgm_platform.h"
#include "text_win32.h"

namespace sorvane::saver {
namespace {

class WinmmBgmPlatform final : public BgmPlatform {
 public:
  int32_t SendString(const std::string& command, std::size_t reply_capacity,
                     std::string* reply) override {
    reply->clear();
    const std::wstring wide = WideFrom932(command);
    if (reply_capacity == 0) {
      return static_cast<int32_t>(mciSendStringW(wide.c_str(), nullptr, 0, nullptr));
    }
    // One character more than announced, so the text always ends in a NUL.
    std::vector<wchar_t> buffer(reply_capacity + 1, L'\0');
    const MCIERROR code =
        mciSendStringW(wide.c_str(), buffer.data(), static_cast<UINT>(reply_capacity), nullptr);
    *reply = Text932WithStandIns(buffer.data());
    return static_cast<int32_t>(code);
  }

  bool GetErrorString(int32_t code, std::size_t capacity, std::string* text) override {
    text->clear();
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    if (!mciGetErrorStringW(static_cast<MCIERROR>(code), buffer.data(),
                            static_cast<UINT>(capacity))) {
      return false;
    }
    *text = Text932WithStandIns(buffer.data());
    return true;
  }

  uint32_t WaveOutDeviceCount() override { return waveOutGetNumDevs(); }

  void PlaySystemSound(const char* name, uint32_t flags) override {
    if (name == nullptr) {
      PlaySoundW(nullptr, nullptr, flags);
      return;
    }
    PlaySoundW(SoundFileName(WideFrom932(name)).c_str(), nullptr, flags);
  }

 private:
  // Some sound systems (Wine's among them) open the file through the system's
  // code page even from the wide call. A name that code page cannot hold goes
  // by its short name, which every code page holds; without one, as it is.
  static std::wstring SoundFileName(const std::wstring& path) {
    if (GetACP() == CP_UTF8) return path;
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr,
                            &lossy) == 0 || !lossy) {
      return path;
    }
    const std::wstring alias = ShortPathOf(path);
    return alias.empty() ? path : alias;
  }
};

}  // namespace

BgmPlatform& DefaultBgmPlatform() {
  static WinmmBgmPlatform winmm;
  return winmm;
}

}  // namespace sorvane::saver
