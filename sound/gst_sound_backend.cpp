#include "sound/gst_sound_backend.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>

#include <gst/gst.h>

namespace luckyscope {
namespace {

// How long an open may wait for the file to be ready to play. A sound cue file is
// small and local, so this is only reached when a decoder stalls; the user-interface
// thread must not freeze for longer.
constexpr GstClockTime kPrerollTimeout = 3 * GST_SECOND;
// How long the length may take to become known once the file is ready to play.
constexpr GstClockTime kDurationTimeout = 1 * GST_SECOND;
constexpr gulong kDurationPollMicroseconds = 2000;

// playbin's flags (GstPlayFlags lives in the plugin, not in a public header):
// audio only, with software volume; no video window, no subtitles.
constexpr guint kPlayFlagAudio = 0x02;
constexpr guint kPlayFlagSoftVolume = 0x10;

bool InitGstreamer() {
  static const bool started = [] {
    if (!gst_init_check(nullptr, nullptr, nullptr)) return false;
    // The WildMidi decoder hangs a duration query. Ranked to none it is never picked
    // automatically; MIDI goes to midiparse and the fluidsynth decoder instead.
    GstRegistry* registry = gst_registry_get();
    for (const char* name : {"wildmididec", "wildmidi"}) {
      if (GstPluginFeature* feature = gst_registry_lookup_feature(registry, name)) {
        gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
        gst_object_unref(feature);
      }
    }
    return true;
  }();
  return started;
}

bool IsElementName(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// "FORM" <size> "AIFF" or "AIFC" at the start of the file.
bool IsAiff(const char* path) {
  char header[12] = {};
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  const std::size_t got = std::fread(header, 1, sizeof header, file);
  std::fclose(file);
  return got == sizeof header && std::memcmp(header, "FORM", 4) == 0 &&
         (std::memcmp(header + 8, "AIFF", 4) == 0 || std::memcmp(header + 8, "AIFC", 4) == 0);
}

// Brings a pipeline to PAUSED, which reads the file far enough to know its format
// and length. False when it fails or does not get there within the timeout.
bool Preroll(GstElement* pipeline) {
  switch (gst_element_set_state(pipeline, GST_STATE_PAUSED)) {
    case GST_STATE_CHANGE_FAILURE:
      return false;
    case GST_STATE_CHANGE_SUCCESS:
    case GST_STATE_CHANGE_NO_PREROLL:
      return true;
    case GST_STATE_CHANGE_ASYNC:
      break;
  }
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, kPrerollTimeout, static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
  gst_object_unref(bus);
  if (message == nullptr) return false;
  const bool done = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
  gst_message_unref(message);
  return done;
}

}  // namespace

struct GstSoundBackend::Device {
  explicit Device(GstElement* p) : pipeline(p) {}
  ~Device() {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Prerolls the pipeline; after that nothing reads its bus any more, so it is set
  // to drop messages instead of queueing them for as long as the cue stays open.
  bool Ready() {
    if (!Preroll(pipeline)) return false;
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_flushing(bus, TRUE);
    gst_object_unref(bus);
    return true;
  }

  GstElement* pipeline;
};

// GStreamer starts with the first sound opened (Usable), not here: the program makes
// its back end before the main window shows, and most runs play no sound at all.
GstSoundBackend::GstSoundBackend(std::string audioSink) : audioSink_(std::move(audioSink)) {}

GstSoundBackend::~GstSoundBackend() = default;

AudioEnvironment CurrentAudioEnvironment() {
  AudioEnvironment env;
  if (const char* value = std::getenv("XDG_RUNTIME_DIR")) env.runtimeDir = value;
  if (const char* value = std::getenv("PULSE_SERVER")) env.pulseServer = value;
  return env;
}

std::string QuietAudioSink(const AudioEnvironment& env) {
  struct stat info {};
  const bool pulseSocket = !env.runtimeDir.empty() && env.runtimeDir[0] == '/' &&
                           ::stat((env.runtimeDir + "/pulse/native").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
  if (!env.pulseServer.empty() || pulseSocket) return "pulsesink";
  // An ALSA playback device is named pcmC<card>D<device>p.
  if (DIR* folder = ::opendir(env.soundDevices.c_str())) {
    bool playback = false;
    while (const dirent* entry = ::readdir(folder)) {
      const std::string name = entry->d_name;
      if (name.rfind("pcmC", 0) == 0 && name.back() == 'p') playback = true;
    }
    ::closedir(folder);
    if (playback) return "alsasink";
  }
  return "fakesink";
}

bool GstSoundBackend::Available() { return InitGstreamer(); }

// Only regular files are opened: filesrc would wait forever on a FIFO nobody writes
// to, and a directory or a device is no sound file.
bool GstSoundBackend::Usable(const char* path) const {
  struct stat info {};
  return InitGstreamer() && IsElementName(audioSink_) && path != nullptr && path[0] != '\0' &&
         ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

std::int32_t GstSoundBackend::Adopt(std::unique_ptr<Device> device) {
  if (!device->Ready()) return 0;
  while (devices_.count(nextId_) != 0) nextId_ = nextId_ == INT_MAX ? 1 : nextId_ + 1;
  const std::int32_t id = nextId_;
  nextId_ = nextId_ == INT_MAX ? 1 : nextId_ + 1;
  devices_.emplace(id, std::move(device));
  return id;
}

std::int32_t GstSoundBackend::OpenChain(const char* decoder, const char* path) {
  const std::string description =
      std::string("filesrc name=source ! ") + decoder + " ! audioconvert ! audioresample ! " + audioSink_;
  GstElement* pipeline = gst_parse_launch_full(description.c_str(), nullptr, GST_PARSE_FLAG_FATAL_ERRORS, nullptr);
  if (pipeline == nullptr) return 0;
  auto device = std::make_unique<Device>(GST_ELEMENT(gst_object_ref_sink(pipeline)));
  GstElement* source = gst_bin_get_by_name(GST_BIN(pipeline), "source");
  if (source == nullptr) return 0;
  g_object_set(source, "location", path, nullptr);
  gst_object_unref(source);
  return Adopt(std::move(device));
}

std::int32_t GstSoundBackend::OpenByType(SoundDeviceType type, const char* path) {
  if (!Usable(path)) return 0;
  switch (type) {
    case SoundDeviceType::WaveformAudio:
      return OpenChain("wavparse", path);
    case SoundDeviceType::Sequencer:
      // Standard MIDI files are rendered by fluidsynth with the General MIDI sound
      // font installed beside it; without them the open fails like any unplayable file.
      return OpenChain("midiparse ! fluiddec", path);
    case SoundDeviceType::CdAudio:
      // A ".cda" file only points at a track of an audio CD in a Windows drive; there
      // is nothing here that could play it.
      return 0;
  }
  return 0;
}

std::int32_t GstSoundBackend::OpenByFileName(const char* path) {
  if (!Usable(path)) return 0;
  // playbin's automatic decoder choice sometimes loses the AIFF parser's first data
  // (it is pushed before the parser is linked), the error is swallowed and the file
  // never becomes ready; AIFF therefore gets its parser directly.
  if (IsAiff(path)) return OpenChain("aiffparse", path);

  gchar* uri = gst_filename_to_uri(path, nullptr);
  if (uri == nullptr) return 0;
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  // The queue before the sink lets the parser run ahead of playback while the file
  // waits to be played: an MP3 without a length header has its length estimated from
  // the frames parsed so far, and without the queue preroll stops the parser after
  // the first few frames, too early for an estimate.
  const std::string sinkDescription = "queue max-size-time=3000000000 ! " + audioSink_;
  GstElement* sink =
      gst_parse_bin_from_description_full(sinkDescription.c_str(), TRUE, nullptr, GST_PARSE_FLAG_FATAL_ERRORS, nullptr);
  if (playbin == nullptr || sink == nullptr) {
    if (playbin != nullptr) gst_object_unref(gst_object_ref_sink(playbin));
    if (sink != nullptr) gst_object_unref(gst_object_ref_sink(sink));
    g_free(uri);
    return 0;
  }
  auto device = std::make_unique<Device>(GST_ELEMENT(gst_object_ref_sink(playbin)));
  g_object_set(playbin, "uri", uri, "audio-sink", sink, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
  g_free(uri);
  return Adopt(std::move(device));
}

std::int64_t GstSoundBackend::Length(std::int32_t device) {
  const auto found = devices_.find(device);
  if (found == devices_.end()) return 0;
  // Parsers that estimate the length from the bit rate (MP3 without a length header)
  // may answer only a moment after preroll, so ask again for a short while.
  const GstClockTime deadline = gst_util_get_timestamp() + kDurationTimeout;
  for (;;) {
    gint64 duration = 0;
    if (gst_element_query_duration(found->second->pipeline, GST_FORMAT_TIME, &duration) && duration > 0) {
      return duration / static_cast<gint64>(GST_MSECOND);
    }
    if (gst_util_get_timestamp() >= deadline) return 0;
    g_usleep(kDurationPollMicroseconds);
  }
}

bool GstSoundBackend::Play(std::int32_t device) {
  const auto found = devices_.find(device);
  if (found == devices_.end()) return false;
  return gst_element_set_state(found->second->pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void GstSoundBackend::Close(std::int32_t device) { devices_.erase(device); }

}  // namespace luckyscope
