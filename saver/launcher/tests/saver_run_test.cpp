// The saver run's handlers against a recording port: what Form_Load starts per
// music kind, how the timers switch, when the watch ends the run, and the
// order of the unload.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "saver/launcher/saver_run.h"

namespace sorvane::saver {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecordingSaverPort : public SaverRunPort {
 public:
  std::vector<std::string> calls;
  bool start_succeeds = true;
  bool program_running = true;
  bool engine_window = true;
  bool cd_polling = true;
  uint64_t now = 1000;

  bool StartProgram(const std::string& path) override {
    calls.push_back("start " + path);
    return start_succeeds;
  }
  bool ProgramRunning() override { return program_running; }
  void StopProgram() override {
    calls.push_back("stop engine");
    program_running = false;
  }
  bool ProgramWindowHung(const std::string&) override { return engine_hung; }
  bool engine_hung = false;
  bool WindowExists(const std::string& title) override {
    EXPECT_EQ(title, "SorvaneVC");
    return engine_window;
  }
  uint64_t NowMs() override { return now; }
  void ShowCursor() override { calls.push_back("show cursor"); }
  void SetTimerEnabled(SaverTimer timer, bool enabled) override {
    calls.push_back("Timer" + std::to_string(static_cast<int>(timer) + 1) + (enabled ? " on" : " off"));
  }
  void CdOpen() override { calls.push_back("CdOpen"); }
  void CdPoll() override { calls.push_back("CdPoll"); }
  bool CdPolling() override { return cd_polling; }
  void CdStop() override { calls.push_back("CdStop"); }
  void Mp3Open() override { calls.push_back("Mp3Open"); }
  void Mp3Poll() override { calls.push_back("Mp3Poll"); }
  void Mp3Stop() override { calls.push_back("Mp3Stop"); }
  void WavPlay() override { calls.push_back("WavPlay"); }
  void WavStop() override { calls.push_back("WavStop"); }
  void EndProgram() override { calls.push_back("end"); }
};

const char kStart[] = "start C:\\s\\Sorvane.dll";

struct SaverFixture {
  RecordingSaverPort port;
  Sorvane_S form;
  SaverFixture(int16_t kind, const std::string& file, const std::string& line = "/s")
      : form(port, kind, file, line, "C:\\s") {}
};

TEST(MusicFileType, IsTheLastThreeCharactersUpperCased) {
  EXPECT_EQ(MusicFileType("C:\\m\\a.wav"), "WAV");
  EXPECT_EQ(MusicFileType("C:\\m\\a.Mp3"), "MP3");
  EXPECT_EQ(MusicFileType("C:\\m\\a.wave"), "AVE");
  EXPECT_EQ(MusicFileType("av"), "AV");
  // A name ending in two-byte characters: "曲.ｗａｖ" is not "WAV".
  EXPECT_EQ(MusicFileType("\x8B\xC8.\x82\x97\x82\x81\x82\x96"), "\x82\x97\x82\x81\x82\x96");
  // The trail byte of 'ｗ' (0x82 0x97) followed by "AV" must not read as "WAV".
  EXPECT_NE(MusicFileType("x\x83WAV"), "WAV");
}

TEST(SaverForm, LoadStartsTheEngineAndTheWatchWithoutMusic) {
  for (int16_t kind : {0, 3, -1}) {
    SaverFixture run(kind, "C:\\m\\a.mp3");
    run.form.Load();
    EXPECT_THAT(run.port.calls, ElementsAre("Timer3 on", kStart)) << kind;
    EXPECT_EQ(run.form.EnginePath(), "C:\\s\\Sorvane.dll");
  }
}

TEST(SaverForm, LoadStartsTheMusicOfEachKind) {
  SaverFixture cd(1, "");
  cd.form.Load();
  EXPECT_THAT(cd.port.calls, ElementsAre("Timer3 on", kStart, "CdOpen", "Timer2 on"));

  SaverFixture wav(2, "C:\\m\\loop.wav");  // lower case counts
  wav.form.Load();
  EXPECT_THAT(wav.port.calls, ElementsAre("Timer3 on", kStart, "WavPlay"));

  SaverFixture mp3(2, "C:\\m\\song.MP3");
  mp3.form.Load();
  EXPECT_THAT(mp3.port.calls, ElementsAre("Timer3 on", kStart, "Mp3Open", "Timer1 on"));

  SaverFixture other(2, "C:\\m\\song.ogg");
  other.form.Load();
  EXPECT_THAT(other.port.calls, ElementsAre("Timer3 on", kStart));
}

TEST(SaverForm, MusicStartsEvenWhenTheEngineCannotBeStarted) {
  SaverFixture run(2, "C:\\m\\a.wav");
  run.port.start_succeeds = false;
  run.port.engine_window = false;
  run.form.Load();
  EXPECT_THAT(run.port.calls, ElementsAre("Timer3 on", kStart, "WavPlay"));
  // No engine to wait for: the first watch tick ends the run.
  run.port.calls.clear();
  run.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(run.port.calls, ElementsAre("Timer3 off", "WavStop", "show cursor", "end"));
}

TEST(SaverForm, CdPollingStopsItselfAndIsNotStoppedAgainAtTheEnd) {
  SaverFixture run(1, "");
  run.form.Load();
  run.form.OnTimer(SaverTimer::Timer3);  // the engine window is up
  run.port.calls.clear();
  run.form.OnTimer(SaverTimer::Timer2);
  EXPECT_THAT(run.port.calls, ElementsAre("CdPoll"));
  EXPECT_TRUE(run.form.TimerEnabled(SaverTimer::Timer2));

  run.port.cd_polling = false;
  run.form.OnTimer(SaverTimer::Timer2);
  EXPECT_FALSE(run.form.TimerEnabled(SaverTimer::Timer2));
  run.form.OnTimer(SaverTimer::Timer2);  // a tick already queued does nothing
  run.port.engine_window = false;
  run.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(run.port.calls,
              ElementsAre("CdPoll", "CdPoll", "Timer2 off", "Timer3 off", "show cursor", "end"));
}

TEST(SaverForm, QueryUnloadStopsCdThenFileMusicThenShowsCursorThenEnds) {
  SaverFixture cd(1, "C:\\m\\a.wav");  // kind 1: the file is not played nor stopped
  cd.form.Load();
  cd.port.calls.clear();
  cd.form.Form_QueryUnload();
  EXPECT_THAT(cd.port.calls, ElementsAre("Timer2 off", "CdStop", "show cursor", "end"));

  SaverFixture mp3(2, "a.mp3");
  mp3.form.Load();
  mp3.port.calls.clear();
  mp3.form.Form_QueryUnload();
  EXPECT_THAT(mp3.port.calls, ElementsAre("Mp3Stop", "show cursor", "end"));

  SaverFixture wav(2, "a.WAV", "-Saver");
  wav.form.Load();
  wav.port.calls.clear();
  wav.form.Form_QueryUnload();
  EXPECT_THAT(wav.port.calls, ElementsAre("WavStop", "show cursor", "end"));
}

TEST(SaverForm, CursorIsShownAgainOnlyAfterTheSaverSwitch) {
  for (const char* line : {"", "/S 5"}) {
    SaverFixture run(0, "", line);
    run.form.Load();
    run.port.calls.clear();
    run.form.Form_QueryUnload();
    if (std::string(line).empty()) {
      EXPECT_THAT(run.port.calls, ElementsAre("end"));
    } else {
      EXPECT_THAT(run.port.calls, ElementsAre("show cursor", "end"));
    }
  }
}

TEST(SaverForm, UnloadRunsOnceAndNoTickRunsAfterIt) {
  SaverFixture run(2, "a.mp3");
  run.form.Load();
  run.form.Form_QueryUnload();
  run.port.calls.clear();
  run.form.Form_QueryUnload();  // e.g. WM_CLOSE after the watch's own unload
  run.form.OnTimer(SaverTimer::Timer1);
  run.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(run.port.calls, IsEmpty());
}

TEST(SaverWatch, WaitsForAStartingEngineThenEndsWhenItsWindowGoes) {
  SaverFixture run(0, "");
  run.form.Load();
  run.port.calls.clear();
  run.port.engine_window = false;  // still starting
  run.port.now += 9000;
  run.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(run.port.calls, IsEmpty());

  run.port.engine_window = true;
  run.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(run.port.calls, IsEmpty());

  // Once seen, the first tick without the window ends the run.
  run.port.engine_window = false;
  run.port.now += 50;
  run.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(run.port.calls, ElementsAre("Timer3 off", "show cursor", "end"));
  EXPECT_FALSE(run.form.TimerEnabled(SaverTimer::Timer3));
}

TEST(SaverWatch, GivesUpWaitingAfterTheBoundOrWhenTheEngineProcessEnded) {
  SaverFixture slow(0, "");
  slow.form.Load();
  slow.port.calls.clear();
  slow.port.engine_window = false;
  slow.port.now += kEngineWindowWaitMs - 1;
  slow.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(slow.port.calls, IsEmpty());
  slow.port.now += 1;
  slow.form.OnTimer(SaverTimer::Timer3);
  // Still running without a window after the whole wait: it is ended too.
  EXPECT_THAT(slow.port.calls, ElementsAre("Timer3 off", "stop engine", "show cursor", "end"));

  SaverFixture crashed(0, "");
  crashed.form.Load();
  crashed.port.calls.clear();
  crashed.port.engine_window = false;
  crashed.port.program_running = false;
  crashed.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(crashed.port.calls, ElementsAre("Timer3 off", "show cursor", "end"));
}


// The faults a run meets: no form window, an engine that hangs, an engine
// that never shows up. Each ends the run once, music stopped and cursor back.
TEST(SaverFaults, EveryFaultEndsTheRunOnceWithMusicStoppedAndCursorBack) {
  SaverFixture no_window(2, "C:\\m\\a.mp3");
  no_window.form.Load(false);
  EXPECT_THAT(no_window.port.calls, ElementsAre("Mp3Stop", "show cursor", "end"));
  EXPECT_TRUE(no_window.form.Ended());

  SaverFixture hung(2, "C:\\m\\a.wav");
  hung.form.Load();
  hung.port.calls.clear();
  hung.form.OnTimer(SaverTimer::Timer3);  // seen and answering
  hung.port.engine_hung = true;
  for (uint64_t t = 0; t < kEngineHungLimitMs; t += 50) {
    hung.form.OnTimer(SaverTimer::Timer3);
    hung.port.now += 50;
  }
  hung.port.engine_hung = false;  // came back just in time: the count starts again
  hung.form.OnTimer(SaverTimer::Timer3);
  hung.port.engine_hung = true;
  for (uint64_t t = 0; t < kEngineHungLimitMs; t += 50) {
    hung.form.OnTimer(SaverTimer::Timer3);
    hung.port.now += 50;
  }
  EXPECT_THAT(hung.port.calls, IsEmpty());
  hung.form.OnTimer(SaverTimer::Timer3);
  EXPECT_THAT(hung.port.calls, ElementsAre("stop engine", "Timer3 off", "WavStop", "show cursor", "end"));
  hung.form.OnTimer(SaverTimer::Timer3);
  EXPECT_EQ(std::count(hung.port.calls.begin(), hung.port.calls.end(), "end"), 1);

  // An engine that was seen and then ended normally is not stopped again.
  SaverFixture normal(0, "", "");
  normal.form.Load();
  normal.form.OnTimer(SaverTimer::Timer3);
  normal.port.engine_window = false;
  normal.form.OnTimer(SaverTimer::Timer3);
  EXPECT_EQ(std::count(normal.port.calls.begin(), normal.port.calls.end(), "stop engine"), 0);
  EXPECT_EQ(normal.port.calls.back(), "end");
}

}  // namespace
}  // namespace sorvane::saver
