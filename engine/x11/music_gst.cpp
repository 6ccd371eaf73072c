#include "x11/music_gst.h"

#include <gst/gst.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace sorvane::engine::x11 {

struct MusicPlayer::State {
  saver::BgmChoice choice;
  std::mutex mutex;
  bool stopping = false;
  GstBus* bus = nullptr;  // the player's bus while it plays; Stop() posts to it
  std::thread thread;
};

namespace {

// playbin's flags: audio only. A cover picture in a music file must not make
// it open a video window over the saver.
constexpr int kPlayAudio = 0x02;
constexpr int kPlaySoftVolume = 0x10;

const char kStopMessage[] = "sorvane-stop";

void SayOnce(const std::string& what, const char* detail) {
  std::fprintf(stderr, "sorvane: no music: %s%s%s\n", what.c_str(), detail ? ": " : "", detail ? detail : "");
}

std::string Describe(const saver::BgmChoice& choice) {
  if (choice.kind == saver::kBgmCd) {
    return choice.repeat == 0 ? std::string("audio CD") : "audio CD track " + std::to_string(choice.repeat);
  }
  return choice.file;
}

// The whole disc plays as one stream (continuous mode); a repeated track as
// a stream of its own, so that its end is the end of the stream.
void OnSourceSetup(GstElement*, GstElement* source, gpointer data) {
  const auto* choice = static_cast<const saver::BgmChoice*>(data);
  if (choice->kind == saver::kBgmCd && choice->repeat == 0 &&
      g_object_class_find_property(G_OBJECT_GET_CLASS(source), "mode")) {
    gst_util_set_object_arg(G_OBJECT(source), "mode", "continuous");
  }
}

// The CD source counts tracks from 0 in its "track" format.
double CurrentCdTrack(GstElement* playbin, int16_t fallback) {
  const GstFormat track = gst_format_get_by_nick("track");
  gint64 position = -1;
  if (track != GST_FORMAT_UNDEFINED && gst_element_query_position(playbin, track, &position) && position >= 0) {
    return static_cast<double>(position + 1);
  }
  return fallback;
}

// At the end of the stream: what the Windows player's polls would do, in
// GStreamer terms. Both "play on" (the whole disc, which has ended) and
// "restart the track" (the stream is that track) mean from the start again;
// a file always starts again.
void Loop(GstElement* playbin, const saver::BgmChoice& choice) {
  if (choice.kind == saver::kBgmCd &&
      saver::NextCdStep(choice.repeat, true, CurrentCdTrack(playbin, choice.repeat)) == saver::CdStep::Wait) {
    return;
  }
  gst_element_seek_simple(playbin, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
}

// autoaudiosink settles for a fake sink when no audio output opens: silence
// that would otherwise go unsaid.
bool PlaysIntoNothing(GstElement* playbin) {
  bool fake = false;
  GstIterator* it = gst_bin_iterate_recurse(GST_BIN(playbin));
  GValue item = G_VALUE_INIT;
  while (!fake && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
    fake = factory && std::string(GST_OBJECT_NAME(factory)) == "fakesink";
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  return fake;
}

std::string UriOf(const saver::BgmChoice& choice, std::string& error) {
  if (choice.kind == saver::kBgmCd) {
    return "cdda://" + std::to_string(choice.repeat == 0 ? 1 : choice.repeat);
  }
  GError* failure = nullptr;
  gchar* uri = gst_filename_to_uri(choice.file.c_str(), &failure);
  if (!uri) {
    error = failure ? failure->message : "not a file name";
    if (failure) g_error_free(failure);
    return {};
  }
  std::string text = uri;
  g_free(uri);
  return text;
}

}  // namespace

void MusicPlayer::Run(State& s) {
  const saver::BgmChoice& choice = s.choice;
  GError* failure = nullptr;
  if (!gst_init_check(nullptr, nullptr, &failure)) {
    SayOnce("GStreamer does not start", failure ? failure->message : nullptr);
    if (failure) g_error_free(failure);
    return;
  }
  std::string error;
  const std::string uri = UriOf(choice, error);
  if (uri.empty()) {
    SayOnce(Describe(choice), error.c_str());
    return;
  }
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (!playbin) {
    SayOnce("GStreamer has no playbin (gstreamer1.0-plugins-base)", nullptr);
    return;
  }
  g_object_set(playbin, "uri", uri.c_str(), "flags", kPlayAudio | kPlaySoftVolume, nullptr);
  g_signal_connect(playbin, "source-setup", G_CALLBACK(OnSourceSetup), &s.choice);
  GstBus* bus = gst_element_get_bus(playbin);
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.stopping) s.bus = bus;
  }
  bool done = s.bus == nullptr;  // stopped before it began
  if (!done) gst_element_set_state(playbin, GST_STATE_PLAYING);  // a failure comes as an error message
  bool checkedSink = false;
  while (!done) {
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_APPLICATION |
                                    GST_MESSAGE_ASYNC_DONE));
    if (!message) continue;
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_APPLICATION:
        done = gst_message_has_name(message, kStopMessage);
        break;
      case GST_MESSAGE_ERROR: {
        GError* e = nullptr;
        gst_message_parse_error(message, &e, nullptr);
        SayOnce(Describe(choice), e ? e->message : "cannot be played");
        if (e) g_error_free(e);
        done = true;  // silence from here on
        break;
      }
      case GST_MESSAGE_ASYNC_DONE:  // the sinks are chosen: see that one is real
        if (!checkedSink) {
          checkedSink = true;
          if (PlaysIntoNothing(playbin)) {
            SayOnce(Describe(choice), "no audio device");
            done = true;
          }
        }
        break;
      case GST_MESSAGE_EOS:
        Loop(playbin, choice);
        break;
      default:
        break;
    }
    gst_message_unref(message);
  }
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.bus = nullptr;
  }
  // After a failure the thread ends here, and a later Stop() finds nothing
  // to wait for (a bus in the NULL state would drop its message anyway).
  gst_element_set_state(playbin, GST_STATE_NULL);
  gst_object_unref(bus);
  gst_object_unref(playbin);
}

MusicPlayer::MusicPlayer() : state_(new State) {}

MusicPlayer::~MusicPlayer() { Stop(); }

void MusicPlayer::Start(const saver::BgmChoice& choice) {
  Stop();
  if (choice.kind == saver::kBgmNone) return;
  state_->choice = choice;
  state_->stopping = false;
  state_->thread = std::thread(Run, std::ref(*state_));
}

void MusicPlayer::Stop() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    if (state_->bus) {
      gst_bus_post(state_->bus, gst_message_new_application(nullptr, gst_structure_new_empty(kStopMessage)));
    }
  }
  if (state_->thread.joinable()) state_->thread.join();
}

}  // namespace sorvane::engine::x11
