// The saver run: the hidden form Sorvane_S that starts the engine and the
// music, watches the engine window and ends the program once it has gone.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

// Title (and class) of the engine's one window.
inline constexpr char kEngineWindowTitle[] = "SorvaneVC";
// Caption of the hidden saver form; also the instance marker.
inline constexpr char kSaverFormCaption[] = "Sorvane_Main";

enum class SaverTimer { Timer1 = 0, Timer2 = 1, Timer3 = 2 };

struct TimerDesign {
  unsigned interval_ms;
  bool enabled_at_load;
};
// Timer1: MP3 poll; Timer2: CD poll; Timer3: engine-window watch.
inline constexpr TimerDesign kSaverTimers[3] = {{1000, false}, {200, false}, {50, true}};

// The engine may take a while to make its window (a cold start under load);
// until it has, or this long has passed, or its process has ended, a missing
// window does not end the run.
inline constexpr uint64_t kEngineWindowWaitMs = 10000;
// An engine window that has answered no message for this long (on top of the
// system's own few seconds before it calls a window hung) will not come back:
// its topmost window would keep the screen covered and the run alive forever.
inline constexpr uint64_t kEngineHungLimitMs = 5000;

// What the saver run needs from the platform.
class SaverRunPort {
 public:
  virtual ~SaverRunPort() = default;
  // Starts `path` as a new process, window shown normally and activated, no
  // arguments, not waited for. True when the process was created.
  virtual bool StartProgram(const std::string& path) = 0;
  // Whether the process that StartProgram created is still running.
  virtual bool ProgramRunning() = 0;
  // Ends the process that StartProgram created, if it still runs.
  virtual void StopProgram() = 0;
  virtual bool WindowExists(const std::string& title) = 0;
  // Whether a window with this title belongs to the started process and has
  // stopped answering messages.
  virtual bool ProgramWindowHung(const std::string& title) = 0;
  virtual uint64_t NowMs() = 0;  // a monotonic clock
  virtual void ShowCursor() = 0;
  virtual void SetTimerEnabled(SaverTimer timer, bool enabled) = 0;
  // Music (the background-music module).
  virtual void CdOpen() = 0;
  virtual void CdPoll() = 0;
  virtual bool CdPolling() = 0;
  virtual void CdStop() = 0;
  virtual void Mp3Open() = 0;
  virtual void Mp3Poll() = 0;
  virtual void Mp3Stop() = 0;
  virtual void WavPlay() = 0;
  virtual void WavStop() = 0;
  virtual void EndProgram() = 0;  // does not return on a real platform
};

// "WAV", "MP3" or anything else: the last three characters, upper-cased.
std::string MusicFileType(const std::string& bgm_file);

class Sorvane_S {
 public:
  // The music settings are taken as they are when the form loads.
  Sorvane_S(SaverRunPort& port, int16_t bgm_kind, std::string bgm_file, std::string command_line,
            std::string program_folder);

  // Applies the timers' design, then runs Form_Load. A form whose window could
  // not be made would have no timers, so nothing would ever end the run: it
  // ends at once instead, as a finished run does, with nothing started.
  void Load(bool window_made = true);

  void Form_Load();
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void Form_QueryUnload();

  void OnTimer(SaverTimer timer);  // dispatches a tick to its handler
  bool TimerEnabled(SaverTimer timer) const { return enabled_[static_cast<int>(timer)]; }
  const std::string& EnginePath() const { return engine_path_; }
  bool Ended() const { return ended_; }

 private:
  void SetEnabled(SaverTimer timer, bool enabled);
  bool EngineStillStarting();

  SaverRunPort& port_;
  const int16_t bgm_kind_;
  const std::string bgm_file_;
  const std::string command_line_;
  const std::string program_folder_;
  std::string engine_path_;
  bool enabled_[3] = {false, false, false};
  bool engine_started_ = false;
  bool engine_seen_ = false;
  uint64_t engine_start_ms_ = 0;
  bool engine_hung_ = false;
  uint64_t engine_hung_since_ms_ = 0;
  bool ended_ = false;
};

}  // namespace sorvane::saver
