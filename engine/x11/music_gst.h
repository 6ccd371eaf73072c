// The hack's background music on Linux: a sound file or an audio CD through
// GStreamer's playbin, over and over, on a thread of its own so that neither
// GStreamer's start-up nor a failing device can hold up a frame.
#pragma once
#include <memory>

#include "bgm_loop.h"

namespace sorvane::engine::x11 {

class MusicPlayer {
 public:
  MusicPlayer();
  ~MusicPlayer();  // stops
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Returns at once. A choice of no music starts nothing. A failure (no
  // audio device, a file that cannot be played, no disc) says so in one
  // line on stderr, and the rest is silence.
  void Start(const saver::BgmChoice& choice);

  // Returns once the sound has stopped and the player's thread has ended.
  // Safe to call again, or without Start.
  void Stop();

 private:
  struct State;
  static void Run(State& s);
  std::unique_ptr<State> state_;
};

}  // namespace sorvane::engine::x11
