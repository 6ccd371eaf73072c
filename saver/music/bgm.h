// Background music: audio CD and MP3 through MCI command strings, WAV through
// the system's looping sound call. Reads BgmKind, BgmRepeat and BgmFile; never
// changes them. No operation throws.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

extern bool CdPolling;  // true while CD polling is to go on

int32_t MciSend(const std::string& command, std::string& reply);
std::string MciQuery(const std::string& command);
int32_t MciPlay(const std::string& device, const std::string& from, const std::string& to);

void CdOpen();
void CdPoll();
void CdStop();
void Mp3Open();
void Mp3Poll();
bool Mp3IsPlaying();
void Mp3Stop();
void WavPlay();
void WavStop();

}  // namespace sorvane::saver
