#pragma once
// The sound back end on GStreamer. "Open by type" builds a pipeline with that kind's
// decoder; "open by file name" hands the file to playbin, which picks the decoder
// from the content. An open prerolls the pipeline (with a bounded wait) so that the
// length is known; play sets it playing and returns at once; close stops it and
// releases everything. Failures are silent: the result says it, nothing else does.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sound/sound_backend.h"

namespace luckyscope {

// What decides where the cues are heard: a sound server the session runs, or a sound
// card the user may open. Looked at through files alone, so that choosing opens no
// device and prints nothing.
struct AudioEnvironment {
  std::string runtimeDir;                  // XDG_RUNTIME_DIR
  std::string pulseServer;                 // PULSE_SERVER
  std::string soundDevices = "/dev/snd";  // the ALSA device nodes
};
AudioEnvironment CurrentAudioEnvironment();

// The audio sink for the program: "pulsesink" when a PulseAudio server (or PipeWire's
// stand-in for one) listens, else "alsasink" when a playback device exists, else
// "fakesink". GStreamer's autoaudiosink would try every sink it knows in turn, and each
// one that finds no sound device (JACK, OpenAL, ALSA) prints its complaint on the
// terminal; with no device the cues are silent and nothing is printed.
std::string QuietAudioSink(const AudioEnvironment& env);

class GstSoundBackend final : public SoundBackend {
 public:
  // audioSink names the GStreamer element the sound goes to: "autoaudiosink" in the
  // program (the system's default output), "fakesink" in tests. Only element names
  // (letters, digits, '-', '_') are accepted; any other text makes every open fail.
  explicit GstSoundBackend(std::string audioSink);
  ~GstSoundBackend() override;  // closes every device still open
  GstSoundBackend(const GstSoundBackend&) = delete;
  GstSoundBackend& operator=(const GstSoundBackend&) = delete;

  std::int32_t OpenByType(SoundDeviceType type, const char* path) override;
  std::int32_t OpenByFileName(const char* path) override;
  std::int64_t Length(std::int32_t device) override;
  bool Play(std::int32_t device) override;
  void Close(std::int32_t device) override;

  // Devices opened and not yet closed.
  std::size_t OpenDeviceCount() const { return devices_.size(); }
  // Starts GStreamer if no open has yet, and tells whether it started; when it did
  // not, every open fails.
  static bool Available();

 private:
  struct Device;
  bool Usable(const char* path) const;
  // filesrc ! decoder ! audioconvert ! audioresample ! the audio sink.
  std::int32_t OpenChain(const char* decoder, const char* path);
  std::int32_t Adopt(std::unique_ptr<Device> device);

  std::string audioSink_;
  std::map<std::int32_t, std::unique_ptr<Device>> devices_;
  std::int32_t nextId_ = 1;
};

}  // namespace luckyscope
