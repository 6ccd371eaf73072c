// The music module's command sequences against a recording MCI service.
#include "bgm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bgm_platform.h"
#include "settings/settings_store.h"
#include "recording_bgm_platform.h"

namespace sorvane::saver {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingBgmPlatform;

// "コマンド文字列が指定されていません" in code page 932.
const std::string kNoCommand =
    "\x83\x52\x83\x7d\x83\x93\x83\x68\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x8e\x77\x92\xe8"
    "\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1";
// "Error (文字列が取れません)" in code page 932.
const std::string kNoErrorText =
    "Error (\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x8e\xe6\x82\xea\x82\xdc\x82\xb9\x82\xf1)";

const char kCurrent[] = "status cdaudio current track";
const char kCount[] = "status cdaudio number of tracks";
const char kMode[] = "status cdaudio mode";

class BgmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBgmPlatform(&mci);
    BgmKind = 0;
    BgmRepeat = 0;
    BgmFile.clear();
    CdPolling = false;
  }
  void TearDown() override { SetBgmPlatform(nullptr); }

  // A drive with a disc of `tracks` tracks, on `track`, in `mode`.
  void Drive(const std::string& track, const std::string& mode, const std::string& tracks = "10") {
    mci.Answer(kCurrent, 0, track);
    mci.Answer(kCount, 0, tracks);
    mci.Answer(kMode, 0, mode);
  }

  RecordingBgmPlatform mci;
};

TEST_F(BgmTest, MciSendTurnsEveryOutcomeIntoCodeAndText) {
  std::string reply = "old";
  EXPECT_EQ(MciSend("", reply), -1);
  EXPECT_EQ(reply, kNoCommand);
  EXPECT_THAT(mci.sent, IsEmpty()) << "an empty command is never sent";

  mci.Answer("status cdaudio media present", 0, "true");
  EXPECT_EQ(MciSend("status cdaudio media present", reply), 0);
  EXPECT_EQ(reply, "true");
  ASSERT_EQ(mci.sent.size(), 1u);
  EXPECT_EQ(mci.sent[0].capacity, 512u);

  mci.Answer("open cdaudio", 266);
  mci.ErrorText(266, "no driver");
  EXPECT_EQ(MciSend("open cdaudio", reply), 266);
  EXPECT_EQ(reply, "no driver");
  ASSERT_EQ(mci.error_requests.size(), 1u);
  EXPECT_EQ(mci.error_requests[0].command, "266");
  EXPECT_EQ(mci.error_requests[0].capacity, 256u);

  mci.Answer("close cdaudio", 263);  // no text known for this code
  EXPECT_EQ(MciSend("close cdaudio", reply), 263);
  EXPECT_EQ(reply, kNoErrorText);
}

TEST_F(BgmTest, MciQueryGivesTheReplyOrErrorAndTheCode) {
  mci.Answer("status cdaudio mode", 0, "playing");
  EXPECT_EQ(MciQuery("status cdaudio mode"), "playing");

  mci.Answer("status cdaudio current track", 266);
  mci.ErrorText(266, "no driver");
  EXPECT_EQ(MciQuery("status cdaudio current track"), "Error:266");

  mci.Answer("status MP3Play mode", 277);  // error text cannot be had either
  EXPECT_EQ(MciQuery("status MP3Play mode"), "Error:277");

  EXPECT_EQ(MciQuery(""), "Error:-1");
}

TEST_F(BgmTest, MciPlayBuildsTheCommandFromItsParts) {
  mci.Answer("play cdaudio from 99", 277);
  EXPECT_EQ(MciPlay("cdaudio", "", ""), 0);
  EXPECT_EQ(MciPlay("cdaudio", "03:00:00:00", ""), 0);
  EXPECT_EQ(MciPlay("cdaudio", "", "5"), 0);
  EXPECT_EQ(MciPlay("cdaudio", "1", "2"), 0);
  EXPECT_EQ(MciPlay("cdaudio", "99", ""), 277);
  EXPECT_THAT(mci.Commands(),
              ElementsAre("play cdaudio", "play cdaudio from 03:00:00:00", "play cdaudio to 5",
                          "play cdaudio from 1 to 2", "play cdaudio from 99"));
}

TEST_F(BgmTest, CdOpenAndStopSendTheirCommandsWithoutReplyBuffer) {
  mci.Answer("open cdaudio", 266);  // a failed open does not stop the second command
  CdOpen();
  CdStop();
  EXPECT_THAT(mci.Commands(), ElementsAre("open cdaudio", "set cdaudio time format tmsf",
                                          "stop cdaudio", "close cdaudio"));
  for (const auto& s : mci.sent) EXPECT_EQ(s.capacity, 0u) << s.command;
  EXPECT_THAT(mci.error_requests, IsEmpty());
}

TEST_F(BgmTest, PollWithoutRepeatRestartsTheDiscOnlyWhenStopped) {
  Drive("5", "playing");
  CdPoll();
  EXPECT_TRUE(CdPolling);
  ASSERT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode));
  EXPECT_EQ(mci.sent[0].capacity, 512u);
  EXPECT_EQ(mci.sent[1].capacity, 512u);
  EXPECT_EQ(mci.sent[2].capacity, 255u);

  mci.sent.clear();
  Drive("5", "stopped");
  CdPoll();
  EXPECT_TRUE(CdPolling);
  EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode, "play cdaudio"));

  // Only the first seven characters of the mode count.
  mci.sent.clear();
  Drive("5", "stopped.");
  CdPoll();
  EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode, "play cdaudio"));
}

TEST_F(BgmTest, PollWithRepeatJumpsBackToTheRepeatedTrack) {
  BgmRepeat = 3;
  mci.Answer("status cdaudio position track 3", 0, "03:00:00:00");

  // On the following track: back to the start of track 3.
  Drive("4", "playing");
  CdPoll();
  EXPECT_TRUE(CdPolling);
  EXPECT_THAT(mci.Commands(),
              ElementsAre(kCurrent, kCount, kMode, "status cdaudio position track 3",
                          "play cdaudio from 03:00:00:00"));

  // On track 3 and playing: nothing to do.
  mci.sent.clear();
  Drive("3", "playing");
  CdPoll();
  EXPECT_TRUE(CdPolling);
  EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode));

  // On track 3 but stopped (the disc has not begun yet): start track 3.
  mci.sent.clear();
  Drive("3", "stopped");
  CdPoll();
  EXPECT_THAT(mci.Commands(),
              ElementsAre(kCurrent, kCount, kMode, "status cdaudio position track 3",
                          "play cdaudio from 03:00:00:00"));

  // Two-digit repeat numbers in plain decimal.
  mci.sent.clear();
  BgmRepeat = 12;
  Drive("4", "playing");
  CdPoll();
  ASSERT_EQ(mci.sent.size(), 5u);
  EXPECT_EQ(mci.sent[3].command, "status cdaudio position track 12");
}

TEST_F(BgmTest, CurrentTrackIsReadAsANumber) {
  BgmRepeat = 3;
  // Forms of 3: no jump, polling goes on.
  for (const char* three : {"3", "03", " 3 ", "3.0", "+3", "3e0"}) {
    mci.sent.clear();
    Drive(three, "playing");
    CdPoll();
    EXPECT_TRUE(CdPolling) << three;
    EXPECT_EQ(mci.sent.size(), 3u) << three;
  }
  // Not 3: a jump.
  for (const char* other : {"3.5", "-3", "30"}) {
    mci.sent.clear();
    Drive(other, "playing");
    CdPoll();
    EXPECT_TRUE(CdPolling) << other;
    EXPECT_EQ(mci.sent.size(), 5u) << other;
  }
  // Not a number at all: the step ends and polling stops, with no play command.
  for (const char* junk : {"", "three", "3x", "3 4", ".", "1e", "1e999", "-", "0x3"}) {
    mci.sent.clear();
    Drive(junk, "playing");
    CdPoll();
    EXPECT_FALSE(CdPolling) << '"' << junk << '"';
    EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode)) << junk;
  }
}

TEST_F(BgmTest, TrackNumberMattersOnlyWhenATrackRepeats) {
  // Without a repeat track the reply is never read as a number.
  Drive("no number", "stopped");
  CdPoll();
  EXPECT_TRUE(CdPolling);
  EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode, "play cdaudio"));

  // With one it is read in every poll, even when the drive is stopped anyway.
  mci.sent.clear();
  BgmRepeat = 3;
  CdPoll();
  EXPECT_FALSE(CdPolling);
  EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount, kMode));
}

TEST_F(BgmTest, FailedStatusQueriesEndPolling) {
  mci.ErrorText(266, "no driver");
  for (int16_t repeat : {0, 3}) {
    BgmRepeat = repeat;
    mci.sent.clear();
    Drive("1", "stopped");
    mci.Answer(kCurrent, 266);  // no drive, no disc
    CdPoll();
    EXPECT_FALSE(CdPolling);
    EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent));

    mci.sent.clear();
    Drive("1", "stopped");
    mci.Answer(kCount, 266);
    CdPoll();
    EXPECT_FALSE(CdPolling);
    EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount));

    // A successful reply with "err" in it in any case counts as a failure too.
    mci.sent.clear();
    Drive("1", "stopped", "terrible");
    CdPoll();
    EXPECT_FALSE(CdPolling);
    EXPECT_THAT(mci.Commands(), ElementsAre(kCurrent, kCount));
  }

  // Not so a double-byte character whose second byte is an "e": "テrr".
  BgmRepeat = 0;
  Drive("1", "playing", "\x83\x65rr");
  CdPoll();
  EXPECT_TRUE(CdPolling);

  // The next poll starts afresh: the flag is set again before anything else.
  mci.sent.clear();
  Drive("3", "playing");
  CdPoll();
  EXPECT_TRUE(CdPolling);
}

TEST_F(BgmTest, MissingRepeatTrackSendsARejectedPlayAndPollingGoesOn) {
  BgmRepeat = 40;
  Drive("1", "playing");
  mci.Answer("status cdaudio position track 40", 277);
  mci.Answer("play cdaudio from Error:277", 274);
  // The mode query's own failure is not examined either.
  mci.Answer(kMode, 266);
  CdPoll();
  EXPECT_TRUE(CdPolling);
  EXPECT_THAT(mci.Commands(),
              ElementsAre(kCurrent, kCount, kMode, "status cdaudio position track 40",
                          "play cdaudio from Error:277"));
}

TEST_F(BgmTest, Mp3OpensTheWholePathInQuotesAndPlaysOnlyWhenOpened) {
  BgmFile = "C:\\My Music\\a b.mp3";
  Mp3Open();
  EXPECT_THAT(
      mci.Commands(),
      ElementsAre("open \"C:\\My Music\\a b.mp3\" type MPEGVideo Alias MP3Play", "play MP3Play"));
  for (const auto& s : mci.sent) EXPECT_EQ(s.capacity, 0u);

  mci.sent.clear();
  BgmFile = "C:\\m\\gone.mp3";
  mci.Answer("open \"C:\\m\\gone.mp3\" type MPEGVideo Alias MP3Play", 275);
  Mp3Open();
  EXPECT_THAT(mci.Commands(), ElementsAre("open \"C:\\m\\gone.mp3\" type MPEGVideo Alias MP3Play"));
}

TEST_F(BgmTest, PathsThatWouldChangeTheCommandAreNeverSent) {
  mci.wave_devices = 1;
  const std::string quote = "C:\\m\\a.mp3\" type waveaudio alias x wait \"C:\\b.mp3";
  const std::string nul = std::string("C:\\m\\a.mp3\0 wait", 17);
  for (const std::string& path : {quote, nul, std::string("\"")}) {
    BgmFile = path;
    Mp3Open();
    WavPlay();
  }
  EXPECT_THAT(mci.sent, IsEmpty());
  EXPECT_THAT(mci.sounds, IsEmpty());

  // Afterwards the saver polls and stops as usual; those commands are harmless.
  Mp3Poll();
  Mp3Stop();
  EXPECT_THAT(mci.Commands(), ElementsAre("status MP3Play mode", "stop MP3Play",
                                          "play MP3Play from 0", "stop MP3Play", "close MP3Play"));
}

TEST_F(BgmTest, Mp3PollRestartsOnlyAStoppedFile) {
  mci.Answer("status MP3Play mode", 0, "playing");
  EXPECT_TRUE(Mp3IsPlaying());
  Mp3Poll();
  ASSERT_THAT(mci.Commands(), ElementsAre("status MP3Play mode", "status MP3Play mode"));
  EXPECT_EQ(mci.sent[0].capacity, 30u);

  for (const auto& [code, mode] : {std::pair<int32_t, std::string>{0, "stopped"},
                                   {0, "paused"},
                                   {0, "playin"},
                                   {263, "playing"}}) {
    mci.sent.clear();
    // A failed query leaves no reply: the fake, like the service, writes none.
    mci.Answer("status MP3Play mode", code, mode);
    EXPECT_EQ(Mp3IsPlaying(), code == 0 && mode == "playing") << mode;
    mci.sent.clear();
    Mp3Poll();
    EXPECT_THAT(mci.Commands(),
                ElementsAre("status MP3Play mode", "stop MP3Play", "play MP3Play from 0"))
        << mode;
  }

  mci.sent.clear();
  Mp3Stop();
  EXPECT_THAT(mci.Commands(), ElementsAre("stop MP3Play", "close MP3Play"));
}

TEST_F(BgmTest, WavLoopsThroughTheSoundCallOnlyWithAnOutputDevice) {
  BgmFile = "C:\\m\\loop.wav";
  mci.wave_devices = 0;
  WavPlay();
  EXPECT_EQ(mci.device_count_requests, 1);
  EXPECT_THAT(mci.sounds, IsEmpty());

  mci.wave_devices = 2;
  WavPlay();
  WavStop();
  ASSERT_EQ(mci.sounds.size(), 2u);
  EXPECT_EQ(mci.sounds[0].name, "C:\\m\\loop.wav");
  // Async and looping, by file name only, and no default sound in its place.
  EXPECT_EQ(mci.sounds[0].flags, 0x2000Bu);
  EXPECT_FALSE(mci.sounds[1].name.has_value());
  EXPECT_EQ(mci.sounds[1].flags, 0u);
  EXPECT_THAT(mci.sent, IsEmpty()) << "WAV never goes through MCI";
}

TEST_F(BgmTest, NoOperationLetsAPlatformFailureOut) {
  mci.throw_everywhere = true;
  BgmRepeat = 3;
  BgmFile = "C:\\m\\a.mp3";
  std::string reply;
  EXPECT_NO_THROW({
    MciSend("open cdaudio", reply);
    MciQuery("status cdaudio mode");
    MciPlay("cdaudio", "1", "");
    CdOpen();
    CdStop();
    Mp3Open();
    Mp3Poll();
    Mp3Stop();
    EXPECT_FALSE(Mp3IsPlaying());
    WavPlay();
    WavStop();
  });
  CdPolling = true;
  EXPECT_NO_THROW(CdPoll());
  EXPECT_FALSE(CdPolling);
}

#ifndef _WIN32
TEST(BgmWithoutMci, TheBuiltInPlatformHasNoDevices) {
  SetBgmPlatform(nullptr);
  BgmRepeat = 0;
  BgmFile = "/tmp/a.wav";
  std::string reply;
  const int32_t code = MciSend("open cdaudio", reply);
  EXPECT_NE(code, 0);
  EXPECT_FALSE(reply.empty());
  EXPECT_NE(reply, kNoErrorText) << "every failure has a text";
  EXPECT_EQ(MciQuery("status cdaudio mode"), "Error:" + std::to_string(code));
  CdOpen();
  CdPoll();
  EXPECT_FALSE(CdPolling);
  Mp3Open();
  EXPECT_FALSE(Mp3IsPlaying());
  EXPECT_EQ(CurrentBgmPlatform().WaveOutDeviceCount(), 0u);
}
#endif

}  // namespace
}  // namespace sorvane::saver
