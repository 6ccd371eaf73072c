// How the background music keeps going, whichever player plays it: the
// Windows player asks this at every CD poll, the GStreamer player on Linux
// when a stream has ended. Plain values only, no platform.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

// The music to play, in the settings' own terms: BgmKind 0 none, 1 audio CD
// (BgmRepeat: the track to repeat, 0 the whole disc), 2 a music file.
constexpr int16_t kBgmNone = 0;
constexpr int16_t kBgmCd = 1;
constexpr int16_t kBgmFile = 2;

struct BgmChoice {
  int16_t kind = kBgmNone;
  int16_t repeat = 0;
  std::string file;
};

enum class CdStep {
  Wait,          // it plays what it should
  PlayOn,        // the whole disc has stopped: play it again
  RestartTrack,  // back to the start of the repeated track
};

// The whole disc starts again whenever the drive has stopped; a repeated
// track starts again when the drive has stopped or gone on to another track.
CdStep NextCdStep(int16_t repeat, bool stopped, double currentTrack);

}  // namespace sorvane::saver
