// The music module through the real winmm, under Wine. Wine's one wave device
// writes what it plays into a raw PCM file (see winmm_tests.cmake); a tone
// gives non-zero bytes there, silence gives zeros.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bgm.h"
#include "bgm_platform.h"
#include "settings/settings_store.h"

namespace sorvane::saver {
namespace {

// "Error (文字列が取れません)" in code page 932.
const std::string kNoErrorText =
    "Error (\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x8e\xe6\x82\xea\x82\xdc\x82\xb9\x82\xf1)";

// Wine shows the Unix root as drive Z:.
std::string WinPath(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string Media(const std::string& name) { return WinPath(SORVANE_MUSIC_MEDIA "/" + name); }

const std::string kPcm = WinPath(SORVANE_MUSIC_PCM);

std::vector<char> ReadPcm() {
  std::ifstream in(kPcm, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t PcmSize() { return ReadPcm().size(); }

// Non-zero bytes written at or after `from`.
std::size_t SoundAfter(std::size_t from) {
  const std::vector<char> pcm = ReadPcm();
  std::size_t count = 0;
  for (std::size_t i = from; i < pcm.size(); ++i) count += pcm[i] != 0;
  return count;
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

class BgmWinmmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBgmPlatform(nullptr);  // the real winmm
    BgmKind = 0;
    BgmRepeat = 0;
    BgmFile.clear();
    CdPolling = false;
    DeleteFileA(kPcm.c_str());  // left by an earlier case
  }
  void TearDown() override {
    Mp3Stop();
    WavStop();
  }

  static void RequireWaveDevice() {
    ASSERT_GT(CurrentBgmPlatform().WaveOutDeviceCount(), 0u)
        << "Wine found no wave device: HOME must hold the .asoundrc of winmm_tests.cmake";
  }
  static void RequireFile(const std::string& path) {
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES)
        << path << " missing: the build makes it with sox and lame";
  }
};

TEST_F(BgmWinmmTest, NoCdDriveEndsPollingAtTheFirstPoll) {
  for (int16_t repeat : {0, 3}) {
    BgmRepeat = repeat;
    CdOpen();
    std::string reply;
    const int32_t code = MciSend("status cdaudio current track", reply);
    EXPECT_NE(code, 0);
    EXPECT_FALSE(reply.empty());
    EXPECT_NE(reply, kNoErrorText) << "winmm has a text for its own code " << code;
    EXPECT_EQ(MciQuery("status cdaudio current track"), "Error:" + std::to_string(code));
    CdPolling = true;
    CdPoll();
    EXPECT_FALSE(CdPolling);
    CdStop();
  }
}

TEST_F(BgmWinmmTest, WavLoopsInTheBackgroundUntilStopped) {
  RequireWaveDevice();
  BgmFile = Media("tone.wav");  // half a second long
  RequireFile(BgmFile);
  WavPlay();
  ASSERT_TRUE(WaitUntil([] { return SoundAfter(0) > 1000; }, 5000)) << "nothing was played";

  // Well after the file's own length the tone is still heard: it loops.
  Pause(1500);
  const std::size_t later = PcmSize();
  EXPECT_TRUE(WaitUntil([&] { return SoundAfter(later) > 1000; }, 3000)) << "no loop";

  WavStop();
  Pause(500);
  const std::size_t stopped = PcmSize();
  Pause(1000);
  EXPECT_EQ(SoundAfter(stopped), 0u) << "still playing after WavStop";
}

TEST_F(BgmWinmmTest, Mp3PlaysAndPollRestartsItOnceEnded) {
  RequireWaveDevice();
  BgmFile = Media("tone.mp3");  // one second long
  RequireFile(BgmFile);
  Mp3Open();
  EXPECT_TRUE(Mp3IsPlaying());
  EXPECT_EQ(MciQuery("status MP3Play mode"), "playing");
  ASSERT_TRUE(WaitUntil([] { return SoundAfter(0) > 1000; }, 5000)) << "nothing was played";

  // A poll while it plays leaves the position alone.
  Pause(300);
  const double before = std::atof(MciQuery("status MP3Play position").c_str());
  Mp3Poll();
  const double after = std::atof(MciQuery("status MP3Play position").c_str());
  EXPECT_GT(before, 0);
  EXPECT_GE(after, before) << "the poll restarted a playing file";

  // Once ended it stays silent until the next poll restarts it.
  ASSERT_TRUE(WaitUntil([] { return !Mp3IsPlaying(); }, 10000));
  EXPECT_EQ(MciQuery("status MP3Play mode"), "stopped");
  Pause(500);
  const std::size_t ended = PcmSize();
  Pause(700);
  EXPECT_EQ(SoundAfter(ended), 0u);
  EXPECT_EQ(MciQuery("status MP3Play mode"), "stopped");

  Mp3Poll();
  EXPECT_TRUE(Mp3IsPlaying());
  EXPECT_TRUE(WaitUntil([&] { return SoundAfter(ended) > 1000; }, 5000)) << "no second round";

  Mp3Stop();
  EXPECT_TRUE(StartsWith(MciQuery("status MP3Play mode"), "Error:")) << "alias still open";
  // After a stop the alias is free for the next open.
  Mp3Open();
  EXPECT_TRUE(Mp3IsPlaying());
}

TEST_F(BgmWinmmTest, Mp3PathWithSpacesIsOpenedWhole) {
  RequireWaveDevice();
  BgmFile = Media("with spaces/tone copy.mp3");
  RequireFile(BgmFile);
  Mp3Open();
  EXPECT_TRUE(Mp3IsPlaying());
  EXPECT_TRUE(WaitUntil([] { return SoundAfter(0) > 1000; }, 5000));
}

TEST_F(BgmWinmmTest, Mp3ThatCannotBeOpenedLeavesTheRunSilent) {
  RequireWaveDevice();
  RequireFile(Media("tone.mp3"));
  const std::string paths[] = {
      Media("missing.mp3"),
      Media("broken.mp3"),
      // A quote would end the path early and turn the rest into command
      // words; such a path is never sent (the command texts are checked
      // against the recording fake), so here too nothing may play.
      Media("tone.mp3") + "\" type MPEGVideo Alias MP3Play \"",
  };
  for (const std::string& path : paths) {
    BgmFile = path;
    Mp3Open();
    EXPECT_FALSE(Mp3IsPlaying()) << path;
    for (int i = 0; i < 3; ++i) Mp3Poll();
    EXPECT_FALSE(Mp3IsPlaying()) << path;
    EXPECT_TRUE(StartsWith(MciQuery("status MP3Play mode"), "Error:")) << path;
    Mp3Stop();
  }
  Pause(500);
  EXPECT_EQ(SoundAfter(0), 0u);
}

}  // namespace
}  // namespace sorvane::saver
