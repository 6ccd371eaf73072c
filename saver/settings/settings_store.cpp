#include "settings_store.h"

#include "numbers.h"
#include "profile.h"
#include "settings_port.h"
#include "utilities.h"

namespace sorvane::saver {

int16_t BgmKind = 0;
int16_t BgmRepeat = 0;
std::string BgmFile;

namespace {

SettingsPort* g_port = nullptr;

SettingsPort& Port() { return g_port ? *g_port : PlatformSettingsPort(); }

// Section and key names in the file, as the code page 932 bytes.
const char kSection[] = "Section";
const char kKindKey[] = "BGM\x8B\xE6\x95\xAA";             // BGM区分
const char kRepeatKey[] = "BGM\xD8\xCB\xDF\xB0\xC4";       // BGMﾘﾋﾟｰﾄ
const char kFileKey[] = "BGM\xCC\xA7\xB2\xD9";             // BGMﾌｧｲﾙ

// Texts reach the system as C strings: they end at their first NUL.
std::string UpToNul(const std::string& s) { return s.substr(0, s.find('\0')); }

// Names go to the write call in a 128-character field: longer names are cut
// to 128 characters (a two-byte character counts as one).
std::string NameField(const std::string& name) {
  std::string s = UpToNul(name);
  size_t i = 0;
  for (int chars = 0; i < s.size() && chars < 128; ++chars) {
    bool pair = profile::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
    i += pair ? 2 : 1;
  }
  s.resize(i);
  return s;
}

// Empty text gives 0; a number becomes the largest whole number not above it;
// anything else (a word, a value outside 16 bits) leaves the setting alone.
void LoadNumber(const char* key, int16_t* setting) {
  std::string text = ReadIni(kSection, key, SettingsPath());
  if (text.empty()) {
    *setting = 0;
    return;
  }
  double value = 0;
  if (ParseGeneralNumber(text, &value)) FloorToInt16(value, setting);
}

void ForgetMusicFile() {
  BgmFile.clear();
  if (BgmKind == 2) BgmKind = 0;
}

}  // namespace

void UseSettingsPort(SettingsPort* port) { g_port = port; }

std::string SettingsPath() { return ProgramFolder + "\\Sorvane.ini"; }

// The value comes back whole, however long: a long music path cut short would
// be lost at the next start.
std::string ReadIni(const std::string& section, const std::string& key, const std::string& path) {
  return UpToNul(Port().ReadValue(UpToNul(path), UpToNul(section), UpToNul(key)));
}

void WriteIni(const std::string& section, const std::string& key, const std::string& value,
              const std::string& path) {
  LastResult = Port().WriteValue(UpToNul(path), NameField(section), NameField(key), UpToNul(value));
}

void LoadSettings() {
  LoadNumber(kKindKey, &BgmKind);
  LoadNumber(kRepeatKey, &BgmRepeat);
  std::string file = ReadIni(kSection, kFileKey, SettingsPath());
  if (file.empty()) {
    ForgetMusicFile();
    return;
  }
  BgmFile = file;
  if (!Port().FileExists(file)) ForgetMusicFile();
}

bool SaveSettings() {
  const std::string path = SettingsPath();
  WriteIni(kSection, kKindKey, DecimalText(BgmKind), path);
  bool saved = LastResult != 0;
  WriteIni(kSection, kRepeatKey, DecimalText(BgmRepeat), path);
  saved = saved && LastResult != 0;
  WriteIni(kSection, kFileKey, BgmFile, path);
  return saved && LastResult != 0;
}

}  // namespace sorvane::saver
