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
