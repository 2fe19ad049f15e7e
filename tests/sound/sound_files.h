#pragma once
// Small sound files made by hand for the sound cue tests and the benchmark: a quiet
// 440 Hz tone (mono, 16-bit) as WAVE, AU and AIFF, a one-note Standard MIDI file,
// and a temporary folder to put them in.

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>
#include <string>
#include <vector>

namespace luckyscope::sound_test {

using Bytes = std::vector<unsigned char>;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "luckyscope-sound-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Appends text, or a number of `size` bytes, little-endian when `little`.
struct Writer {
  Bytes out;
  bool little;
  Writer& Text(const char* text) {
    while (*text != '\0') out.push_back(static_cast<unsigned char>(*text++));
    return *this;
  }
  Writer& Number(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
      out.push_back(static_cast<unsigned char>(value >> (8 * (little ? i : size - 1 - i))));
    }
    return *this;
  }
  Writer& Tone(int rate, int milliseconds) {
    const std::int64_t count = std::int64_t{rate} * milliseconds / 1000;
    for (std::int64_t i = 0; i < count; ++i) {
      const double sample = 6000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * static_cast<double>(i) / rate);
      Number(static_cast<std::uint16_t>(static_cast<std::int16_t>(sample)), 2);
    }
    return *this;
  }
};

inline std::uint64_t ToneBytes(int rate, int milliseconds) {
  return static_cast<std::uint64_t>(std::int64_t{rate} * milliseconds / 1000 * 2);
}

inline Bytes WaveFile(int rate, int milliseconds) {
  const std::uint64_t size = ToneBytes(rate, milliseconds);
  Writer w{{}, true};
  w.Text("RIFF").Number(36 + size, 4).Text("WAVEfmt ").Number(16, 4);
  w.Number(1, 2).Number(1, 2).Number(static_cast<std::uint64_t>(rate), 4);  // PCM, mono
  w.Number(static_cast<std::uint64_t>(rate) * 2, 4).Number(2, 2).Number(16, 2);
  return w.Text("data").Number(size, 4).Tone(rate, milliseconds).out;
}

inline Bytes AuFile(int rate, int milliseconds) {
  Writer w{{}, false};
  w.Text(".snd").Number(24, 4).Number(ToneBytes(rate, milliseconds), 4);
  w.Number(3, 4).Number(static_cast<std::uint64_t>(rate), 4).Number(1, 4);  // 16-bit PCM, mono
  return w.Tone(rate, milliseconds).out;
}

inline Bytes AiffFile(int rate, int milliseconds) {
  const std::uint64_t size = ToneBytes(rate, milliseconds);
  Writer w{{}, false};
  w.Text("FORM").Number(46 + size, 4).Text("AIFFCOMM").Number(18, 4);
  w.Number(1, 2).Number(size / 2, 4).Number(16, 2);  // mono, frames, 16-bit
  // The rate as an 80-bit extended number: exponent, then the mantissa with its
  // leading one at the top.
  int exponent = 0;
  while ((static_cast<std::uint64_t>(rate) >> (exponent + 1)) != 0) ++exponent;
  w.Number(static_cast<std::uint64_t>(16383 + exponent), 2);
  w.Number(static_cast<std::uint64_t>(rate) << (63 - exponent), 8);
  return w.Text("SSND").Number(8 + size, 4).Number(0, 8).Tone(rate, milliseconds).out;
}

// Format 0, one track: piano, middle C for a quarter note (0.5 s at the default tempo).
inline Bytes MidiFile() {
  const Bytes track = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
  Writer w{{}, false};
  w.Text("MThd").Number(6, 4).Number(0, 2).Number(1, 2).Number(96, 2);
  w.Text("MTrk").Number(track.size(), 4);
  w.out.insert(w.out.end(), track.begin(), track.end());
  return w.out;
}

}  // namespace luckyscope::sound_test
