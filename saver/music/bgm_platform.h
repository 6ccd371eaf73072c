// The few multimedia-library operations the music module needs, as a port, so
// that its command sequences run against winmm on Windows and against a
// recording fake in tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sorvane::saver {

class BgmPlatform {
 public:
  virtual ~BgmPlatform() = default;

  // Runs one MCI command string synchronously; 0 on success, else an MCI error
  // code. With reply_capacity 0 no reply buffer is given and *reply is left
  // empty; otherwise *reply is the returned text up to its first NUL, at most
  // reply_capacity - 1 characters.
  virtual int32_t SendString(const std::string& command, std::size_t reply_capacity,
                             std::string* reply) = 0;

  // The text for an MCI error code, at most capacity - 1 characters. False when
  // no text could be had.
  virtual bool GetErrorString(int32_t code, std::size_t capacity, std::string* text) = 0;

  // Number of wave output devices.
  virtual uint32_t WaveOutDeviceCount() = 0;

  // The system's sound call. name == nullptr means "no name" (stops what plays).
  virtual void PlaySystemSound(const char* name, uint32_t flags) = 0;
};

// Flags of the system sound call that the module uses.
constexpr uint32_t kSoundAsync = 0x0001;
constexpr uint32_t kSoundNoDefault = 0x0002;  // a file that cannot be played stays silent
constexpr uint32_t kSoundLoop = 0x0008;
constexpr uint32_t kSoundFileName = 0x00020000;  // the name is a file, never a sound alias

// The platform the module talks to. Defaults to winmm on Windows; elsewhere to a
// machine without any MCI device or wave output (every command fails with an
// error text, no wave device). Passing nullptr restores the default. The caller
// keeps ownership.
void SetBgmPlatform(BgmPlatform* platform);
BgmPlatform& CurrentBgmPlatform();

// The built-in platforms, for callers that want to name one explicitly.
BgmPlatform& DefaultBgmPlatform();

}  // namespace sorvane::saver
