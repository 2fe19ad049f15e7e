#pragma once
// Sound cues: the hit and miss sounds. A cue file is recognised by its first 12 bytes,
// opened on a device suited to its kind, started without waiting for its end, and
// closed when the next cue starts or the program ends. At most one cue exists at a
// time; its state lives with the main window and is handed to the two operations.
// Plain C++: the audio itself goes through a SoundBackend.

#include <array>
#include <cstdint>

#include "sound/sound_backend.h"

namespace luckyscope {

// One row of the sound kind table. The first test compares the header's first bytes
// with firstMagic, the second test compares the bytes from offset 8 on with
// secondMagic; a length of 0 lets that test pass. Magic bytes past a test's length
// are 0. The label names the row after the usual file extension.
struct SoundKind {
  std::int32_t firstLength;
  std::int32_t secondLength;
  std::array<unsigned char, 4> firstMagic;
  std::array<unsigned char, 4> secondMagic;
  char label[4];
};

inline constexpr int kSoundKindCount = 10;
inline constexpr int kSoundHeaderSize = 12;
inline constexpr int kSoundSecondTestOffset = 8;

// Searched in this order: the first matching row wins. "wav" and "cda" both begin
// with "RIFF"; the form at offset 8 tells them apart.
inline constexpr std::array<SoundKind, kSoundKindCount> kSoundKindTable{{
    {4, 4, {'R', 'I', 'F', 'F'}, {'W', 'A', 'V', 'E'}, "wav"},
    {4, 0, {'.', 's', 'n', 'd'}, {0, 0, 0, 0}, "au"},
    {4, 0, {'M', 'T', 'h', 'd'}, {0, 0, 0, 0}, "mid"},
    {3, 0, {'I', 'D', '3', 0}, {0, 0, 0, 0}, "mp3"},
    {2, 0, {0xFF, 0xFB, 0, 0}, {0, 0, 0, 0}, "mp3"},
    {2, 0, {0xFF, 0xE3, 0, 0}, {0, 0, 0, 0}, "mp3"},
    {2, 0, {0xFF, 0xF3, 0, 0}, {0, 0, 0, 0}, "mp3"},
    {4, 4, {'F', 'O', 'R', 'M'}, {'A', 'I', 'F', 'F'}, "aif"},
    {4, 0, {0x30, 0x26, 0xB2, 0x75}, {0, 0, 0, 0}, "wma"},
    {4, 4, {'R', 'I', 'F', 'F'}, {'C', 'D', 'D', 'A'}, "cda"},
}};

// Rows that are opened by device type; every other row is opened by its file name.
inline constexpr int kSoundKindWave = 0;
inline constexpr int kSoundKindMidi = 2;
inline constexpr int kSoundKindCdAudio = 9;

// Results of DetectSoundKind besides a row number.
inline constexpr int kSoundKindUnknown = -1;
inline constexpr int kSoundFileUnreadable = -2;

// Values of SoundCueState::state.
inline constexpr std::int32_t kSoundCueIdle = 0;
inline constexpr std::int32_t kSoundCueOpen = 2;

struct SoundCueState {
  std::int32_t device = 0;  // meaningful only while state is above 0
  std::int32_t state = kSoundCueIdle;
};

// Row number 0 to 9 of the first row that the file's first 12 bytes match;
// kSoundKindUnknown (-1) when none matches; kSoundFileUnreadable (-2) when the file
// cannot be opened for reading or holds fewer than 12 bytes.
int DetectSoundKind(const char* path);

// Opens a playback device for the file and returns the length it reports (positive
// for a playable file), with the device in `device`. -1 when the kind is not
// recognised or the device cannot be opened; `device` is then 0.
std::int64_t OpenSoundDevice(SoundBackend& backend, const char* path, std::int32_t& device);

// Starts the file playing and sets the state to 2; when that is not possible the
// state stays 0 and nothing is heard. Callers stop an open cue first.
void PlaySoundCue(SoundBackend& backend, const char* path, SoundCueState& state);

// Closes the cue's device and sets the state to 0 when a cue is open; else nothing.
void StopSoundCue(SoundBackend& backend, SoundCueState& state);

}  // namespace luckyscope
