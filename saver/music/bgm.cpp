// Background music: the command sequences for the CD drive and the MP3 file, and
// the WAV loop. Everything goes through the BgmPlatform port.
#include "bgm.h"

#include <charconv>
#include <string>
#include <system_error>

#include "bgm_loop.h"
#include "bgm_platform.h"
#include "settings/settings_store.h"

namespace sorvane::saver {

bool CdPolling = false;

namespace {

// Reply capacities, in characters.
constexpr std::size_t kSendReplyCapacity = 512;
constexpr std::size_t kErrorTextCapacity = 256;
constexpr std::size_t kCdModeCapacity = 255;
constexpr std::size_t kMp3ModeCapacity = 30;

// "コマンド文字列が指定されていません" (no command string given), code page 932.
const char kNoCommandText[] =
    "\x83\x52\x83\x7d\x83\x93\x83\x68\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x8e\x77\x92\xe8"
    "\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1";
// "Error (文字列が取れません)" (the error text could not be had), code page 932.
const char kNoErrorText[] =
    "Error (\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x8e\xe6\x82\xea\x82\xdc\x82\xb9\x82\xf1)";

const char kCdDevice[] = "cdaudio";

BgmPlatform* g_platform = nullptr;

// Sends a command whose reply (if any) the caller reads directly; result and
// reply are returned as the platform gave them.
int32_t Send(const std::string& command, std::size_t capacity, std::string* reply) {
  std::string ignored;
  return CurrentBgmPlatform().SendString(command, capacity, reply ? reply : &ignored);
}

void SendNoReply(const std::string& command) { Send(command, 0, nullptr); }

bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Whether the text, upper-cased, contains "ERR". Replies are code page 932: the
// second byte of a double-byte character is no letter of its own, so it is
// neither upper-cased nor matched.
bool ContainsErrUpper(const std::string& text) {
  std::string upper;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsCp932LeadByte(c) && i + 1 < text.size()) {
      upper += '\0';  // one character that matches nothing
      ++i;
    } else {
      upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
    }
  }
  return upper.find("ERR") != std::string::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a reply such as "3" as a number: blanks around it, an optional sign,
// digits with an optional decimal fraction and an optional exponent (E or D).
// Anything else, the empty text included, is not a number and fails, as does
// a value too large for a double.
bool ReadAsNumber(const std::string& text, double* value) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  bool negative = false;
  if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
    negative = text[begin] == '-';
    ++begin;
  }
  // Check the shape first: from_chars alone would accept a prefix and stop.
  std::string body;
  std::size_t i = begin, mantissa_digits = 0;
  while (i < end && IsDigit(text[i])) body += text[i++], ++mantissa_digits;
  if (i < end && text[i] == '.') {
    body += text[i++];
    while (i < end && IsDigit(text[i])) body += text[i++], ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  if (i < end && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    body += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) body += text[i++];
    std::size_t exponent_digits = 0;
    while (i < end && IsDigit(text[i])) body += text[i++], ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  if (i != end) return false;
  double parsed = 0;
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), parsed);
  if (ec != std::errc() || ptr != body.data() + body.size()) return false;  // overflow too
  *value = negative ? -parsed : parsed;
  return true;
}

// A path goes into an MCI command between double quotes. A quote inside it
// would end the path early and let the rest of it be read as command words; a
// NUL would cut the command off. Such a path is never sent.
bool FitsBetweenQuotes(const std::string& path) {
  return path.find('"') == std::string::npos && path.find('\0') == std::string::npos;
}

}  // namespace

void SetBgmPlatform(BgmPlatform* platform) { g_platform = platform; }

BgmPlatform& CurrentBgmPlatform() { return g_platform ? *g_platform : DefaultBgmPlatform(); }

int32_t MciSend(const std::string& command, std::string& reply) {
  try {
    if (command.empty()) {
      reply = kNoCommandText;
      return -1;
    }
    std::string text;
    int32_t code = Send(command, kSendReplyCapacity, &text);
    if (code == 0) {
      reply = text;
      return 0;
    }
    std::string error_text;
    if (CurrentBgmPlatform().GetErrorString(code, kErrorTextCapacity, &error_text)) {
      reply = error_text;
    } else {
      reply = kNoErrorText;
    }
    return code;
  } catch (...) {
    reply = kNoErrorText;
    return -1;
  }
}

std::string MciQuery(const std::string& command) {
  try {
    std::string reply;
    int32_t code = MciSend(command, reply);
    if (code == 0) return reply;
    return "Error:" + std::to_string(code);
  } catch (...) {
    return "Error:-1";
  }
}

int32_t MciPlay(const std::string& device, const std::string& from, const std::string& to) {
  try {
    std::string command = "play " + device;
    if (!from.empty()) command += " from " + from;
    if (!to.empty()) command += " to " + to;
    std::string reply;
    return MciSend(command, reply);
  } catch (...) {
    return -1;
  }
}

void CdOpen() {
  try {
    SendNoReply(std::string("open ") + kCdDevice);
  } catch (...) {
  }
  try {
    SendNoReply(std::string("set ") + kCdDevice + " time format tmsf");
  } catch (...) {
  }
}

void CdPoll() {
  CdPolling = true;
  try {
    const std::string current = MciQuery("status cdaudio current track");
    if (ContainsErrUpper(current)) {
      CdPolling = false;
      return;
    }
    const std::string count = MciQuery("status cdaudio number of tracks");
    if (ContainsErrUpper(count)) {
      CdPolling = false;
      return;
    }
    std::string mode_reply;
    Send("status cdaudio mode", kCdModeCapacity, &mode_reply);
    const std::string mode = mode_reply.substr(0, 7);
    const bool stopped = mode == "stopped";

    // With a track to repeat, the track is read in every poll, stopped or
    // not: a reply that is no number means the drive cannot be followed, and
    // polling ends.
    double track = 0;
    if (BgmRepeat != 0 && !ReadAsNumber(current, &track)) {
      CdPolling = false;
      return;
    }
    switch (NextCdStep(BgmRepeat, stopped, track)) {
      case CdStep::Wait:
        break;
      case CdStep::PlayOn:
        MciPlay(kCdDevice, "", "");
        break;
      case CdStep::RestartTrack: {
        const std::string start =
            MciQuery("status cdaudio position track " + std::to_string(BgmRepeat));
        MciPlay(kCdDevice, start, "");
        break;
      }
    }
  } catch (...) {
    CdPolling = false;
  }
}

void CdStop() {
  try {
    SendNoReply(std::string("stop ") + kCdDevice);
  } catch (...) {
  }
  try {
    SendNoReply(std::string("close ") + kCdDevice);
  } catch (...) {
  }
}

void Mp3Open() {
  try {
    if (!FitsBetweenQuotes(BgmFile)) return;
    const std::string command = "open \"" + BgmFile + "\" type MPEGVideo Alias MP3Play";
    if (Send(command, 0, nullptr) == 0) SendNoReply("play MP3Play");
  } catch (...) {
  }
}

bool Mp3IsPlaying() {
  try {
    std::string reply;
    Send("status MP3Play mode", kMp3ModeCapacity, &reply);
    return reply.substr(0, 7) == "playing";
  } catch (...) {
    return false;
  }
}

void Mp3Poll() {
  try {
    if (Mp3IsPlaying()) return;
    SendNoReply("stop MP3Play");
    SendNoReply("play MP3Play from 0");
  } catch (...) {
  }
}

void Mp3Stop() {
  try {
    SendNoReply("stop MP3Play");
  } catch (...) {
  }
  try {
    SendNoReply("close MP3Play");
  } catch (...) {
  }
}

void WavPlay() {
  try {
    // No file name can hold a quote, and a NUL would name another file: the
    // same rule as for the MP3 path keeps such a setting away from the sound
    // system too.
    if (!FitsBetweenQuotes(BgmFile)) return;
    BgmPlatform& platform = CurrentBgmPlatform();
    if (platform.WaveOutDeviceCount() > 0) {
      // Without "no default" a file the sound system cannot play (damaged, or
      // another format under a .wav name) would loop the system's default
      // sound for the whole run instead.
      platform.PlaySystemSound(BgmFile.c_str(),
                               kSoundAsync | kSoundLoop | kSoundFileName | kSoundNoDefault);
    }
  } catch (...) {
  }
}

void WavStop() {
  try {
    CurrentBgmPlatform().PlaySystemSound(nullptr, 0);
  } catch (...) {
  }
}

}  // namespace sorvane::saver
