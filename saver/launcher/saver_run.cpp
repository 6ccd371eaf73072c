#include "saver/launcher/saver_run.h"

#include <utility>

#include "saver/launcher/main.h"
#include "saver/launcher/main_text.h"

namespace sorvane::saver {

std::string MusicFileType(const std::string& bgm_file) {
  return UpperAscii(Cp932Right(bgm_file, 3));
}

Sorvane_S::Sorvane_S(SaverRunPort& port, int16_t bgm_kind, std::string bgm_file,
                     std::string command_line, std::string program_folder)
    : port_(port),
      bgm_kind_(bgm_kind),
      bgm_file_(std::move(bgm_file)),
      command_line_(std::move(command_line)),
      program_folder_(std::move(program_folder)) {}

void Sorvane_S::SetEnabled(SaverTimer timer, bool enabled) {
  bool& current = enabled_[static_cast<int>(timer)];
  if (current == enabled) return;
  current = enabled;
  port_.SetTimerEnabled(timer, enabled);
}

void Sorvane_S::Load(bool window_made) {
  if (!window_made) {
    Form_QueryUnload();
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (kSaverTimers[i].enabled_at_load) SetEnabled(static_cast<SaverTimer>(i), true);
  }
  Form_Load();
}

void Sorvane_S::Form_Load() {
  engine_path_ = program_folder_ + "\\Sorvane.dll";
  engine_start_ms_ = port_.NowMs();
  engine_started_ = port_.StartProgram(engine_path_);

  if (bgm_kind_ == 1) {
    port_.CdOpen();
    SetEnabled(SaverTimer::Timer2, true);
  }
  if (bgm_kind_ == 2) {
    const std::string type = MusicFileType(bgm_file_);
    if (type == "WAV") port_.WavPlay();
    if (type == "MP3") {
      port_.Mp3Open();
      SetEnabled(SaverTimer::Timer1, true);
    }
  }
}

void Sorvane_S::OnTimer(SaverTimer timer) {
  if (ended_ || !TimerEnabled(timer)) return;  // a tick already queued when disabled
  switch (timer) {
    case SaverTimer::Timer1: Timer1_Timer(); break;
    case SaverTimer::Timer2: Timer2_Timer(); break;
    case SaverTimer::Timer3: Timer3_Timer(); break;
  }
}

void Sorvane_S::Timer1_Timer() { port_.Mp3Poll(); }

void Sorvane_S::Timer2_Timer() {
  port_.CdPoll();
  SetEnabled(SaverTimer::Timer2, port_.CdPolling());
}

bool Sorvane_S::EngineStillStarting() {
  if (!engine_started_ || engine_seen_) return false;
  if (port_.NowMs() - engine_start_ms_ >= kEngineWindowWaitMs) return false;
  return port_.ProgramRunning();
}

void Sorvane_S::Timer3_Timer() {
  if (port_.WindowExists(kEngineWindowTitle)) {
    engine_seen_ = true;
    if (!port_.ProgramWindowHung(kEngineWindowTitle)) {
      engine_hung_ = false;
      return;
    }
    const uint64_t now = port_.NowMs();
    if (!engine_hung_) {
      engine_hung_ = true;
      engine_hung_since_ms_ = now;
    }
    if (now - engine_hung_since_ms_ < kEngineHungLimitMs) return;
    // Its window goes with it; the run then ends as after any engine.
    port_.StopProgram();
    SetEnabled(SaverTimer::Timer3, false);
    Form_QueryUnload();
    return;
  }
  if (EngineStillStarting()) return;
  SetEnabled(SaverTimer::Timer3, false);
  // An engine that never made its window in the whole wait is stuck: it would
  // otherwise outlive the run unseen.
  if (engine_started_ && !engine_seen_ && port_.ProgramRunning()) port_.StopProgram();
  Form_QueryUnload();
}

void Sorvane_S::Form_QueryUnload() {
  if (ended_) return;
  if (TimerEnabled(SaverTimer::Timer2)) {
    SetEnabled(SaverTimer::Timer2, false);
    port_.CdStop();
  }
  if (bgm_kind_ == 2) {
    const std::string type = MusicFileType(bgm_file_);
    if (type == "WAV") port_.WavStop();
    if (type == "MP3") port_.Mp3Stop();
  }
  if (SwitchLetter(command_line_) == "S") port_.ShowCursor();
  ended_ = true;
  port_.EndProgram();
}

}  // namespace sorvane::saver
