#include "sound/sound_cue.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace luckyscope {
namespace {

// Reads the first 12 bytes of a file. Only regular files count as sound files: a
// directory, a FIFO or a device is reported as unreadable instead of being opened
// by the audio back end, and O_NONBLOCK keeps a FIFO from hanging the open itself.
bool ReadSoundHeader(const char* path, unsigned char (&header)[kSoundHeaderSize]) {
  if (path == nullptr || path[0] == '\0') return false;
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = false;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    std::size_t got = 0;
    while (got < sizeof header) {
      const ssize_t n = ::read(fd, header + got, sizeof header - got);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;
      }
    }
    ok = got == sizeof header;
  }
  ::close(fd);
  return ok;
}

bool MatchesKind(const SoundKind& kind, const unsigned char (&header)[kSoundHeaderSize]) {
  const auto first = static_cast<std::size_t>(kind.firstLength);
  const auto second = static_cast<std::size_t>(kind.secondLength);
  return std::memcmp(header, kind.firstMagic.data(), first) == 0 &&
         std::memcmp(header + kSoundSecondTestOffset, kind.secondMagic.data(), second) == 0;
}

}  // namespace

int DetectSoundKind(const char* path) {
  unsigned char header[kSoundHeaderSize];
  if (!ReadSoundHeader(path, header)) return kSoundFileUnreadable;
  for (int row = 0; row < kSoundKindCount; ++row) {
    if (MatchesKind(kSoundKindTable[static_cast<std::size_t>(row)], header)) return row;
  }
  return kSoundKindUnknown;
}

std::int64_t OpenSoundDevice(SoundBackend& backend, const char* path, std::int32_t& device) {
  device = 0;
  std::int32_t opened = 0;
  switch (const int kind = DetectSoundKind(path)) {
    case kSoundKindWave:
      opened = backend.OpenByType(SoundDeviceType::WaveformAudio, path);
      break;
    case kSoundKindMidi:
      opened = backend.OpenByType(SoundDeviceType::Sequencer, path);
      break;
    case kSoundKindCdAudio:
      opened = backend.OpenByType(SoundDeviceType::CdAudio, path);
      break;
    default:
      if (kind < 0) return -1;  // unknown kind or unreadable file: no device call
      opened = backend.OpenByFileName(path);
      break;
  }
  if (opened <= 0) return -1;
  device = opened;
  return backend.Length(opened);
}

void PlaySoundCue(SoundBackend& backend, const char* path, SoundCueState& state) {
  // Callers stop an open cue before playing; should one forget, the old device is
  // closed here rather than left playing with nothing left that could close it.
  StopSoundCue(backend, state);

  std::int32_t device = 0;
  const std::int64_t length = OpenSoundDevice(backend, path, device);
  if (length <= 0) {
    // A device that opened but knows no length is closed at once: the state stays
    // idle, so no later StopSoundCue would ever release it.
    if (device > 0) backend.Close(device);
    return;
  }
  if (!backend.Play(device)) {
    backend.Close(device);
    return;
  }
  state.device = device;
  state.state = kSoundCueOpen;
}

void StopSoundCue(SoundBackend& backend, SoundCueState& state) {
  if (state.state <= kSoundCueIdle) return;
  backend.Close(state.device);
  state.device = 0;
  state.state = kSoundCueIdle;
}

}  // namespace luckyscope
