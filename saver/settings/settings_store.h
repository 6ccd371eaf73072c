// The three music settings, in memory and in Sorvane.ini next to the program.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

extern int16_t BgmKind;    // 0 none, 1 audio CD, 2 music file; others play nothing
extern int16_t BgmRepeat;  // CD track to repeat, 0 for none
extern std::string BgmFile;  // path of the music file, or empty

std::string SettingsPath();  // ProgramFolder + "\Sorvane.ini"

std::string ReadIni(const std::string& section, const std::string& key, const std::string& path);
void WriteIni(const std::string& section, const std::string& key, const std::string& value,
              const std::string& path);

void LoadSettings();  // file to variables, with validation
// Variables to file: kind, repeat, file, in that order, all three whatever
// happens. True when every write succeeded (each result is also in LastResult).
bool SaveSettings();

}  // namespace sorvane::saver
