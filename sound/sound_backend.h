#pragma once
// The audio back end behind the sound cues: four steps (open by device type or by
// file name, length, non-blocking play, close). The program uses the GStreamer back
// end; tests hand in their own so that no sound device is needed.
//
// A back end is used from the user-interface thread only. Every step is silent: a
// failure is told by the result alone, never by a message, an exception or output.

#include <cstdint>

namespace luckyscope {

// Device types of the "open by type" step; the numbers are the classic multimedia
// device-type codes, kept so that logs and tests can name them.
enum class SoundDeviceType : std::int32_t {
  CdAudio = 516,
  WaveformAudio = 522,
  Sequencer = 523,
};

class SoundBackend {
 public:
  virtual ~SoundBackend() = default;
  // Each open returns a device identifier above 0, or 0 when nothing could be opened.
  // An open waits until the file is ready to play (or has failed), so that Length
  // can answer at once.
  virtual std::int32_t OpenByType(SoundDeviceType type, const char* path) = 0;
  virtual std::int32_t OpenByFileName(const char* path) = 0;
  // Length of the opened sound in milliseconds; 0 or less when it is not known.
  virtual std::int64_t Length(std::int32_t device) = 0;
  // Starts playing and returns at once; false when playing could not start.
  virtual bool Play(std::int32_t device) = 0;
  // Stops and releases the device; unknown identifiers are ignored.
  virtual void Close(std::int32_t device) = 0;
};

}  // namespace luckyscope
