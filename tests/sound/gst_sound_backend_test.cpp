// The GStreamer back end on real files, with a fake sink so that no sound card is
// needed. WAVE, AU, AIFF and MIDI files are written here; the MP3 files in data/ were
// made with GStreamer's LAME encoder: half a second of a tone, one file for each MPEG
// version's frame header and one with an ID3 tag.
#include "sound/gst_sound_backend.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <string>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "sound/sound_cue.h"
#include "tests/sound/sound_files.h"

namespace luckyscope {
namespace {

using sound_test::Bytes;

std::string Data(const std::string& name) { return std::string(LUCKYSCOPE_SOUND_DATA) + "/" + name; }

// A true header followed by bytes that are no sound at all.
Bytes Lying(std::string first, std::string second = "") {
  Bytes bytes(600, 'x');
  std::copy(first.begin(), first.end(), bytes.begin());
  std::copy(second.begin(), second.end(), bytes.begin() + 8);
  return bytes;
}

class GstSoundBackendTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(GstSoundBackend::Available()); }

  std::string File(const std::string& name, const Bytes& bytes) {
    sound_test::WriteFile(dir_.File(name), bytes);
    return dir_.File(name);
  }
  // The length a cue of this file reports; the device is closed again.
  std::int64_t LengthOf(const std::string& path) {
    std::int32_t device = 0;
    const std::int64_t length = OpenSoundDevice(backend_, path.c_str(), device);
    backend_.Close(device);
    return length;
  }

  GstSoundBackend backend_{"fakesink"};
  sound_test::TempDir dir_;
  SoundCueState state_;
};

TEST_F(GstSoundBackendTest, WaveAuAiffAndMp3PlayAndReportTheirLength) {
  struct Case {
    std::string path;
    std::int64_t shortest, longest;  // an MP3's length includes the encoder's padding
  } const cases[] = {
      {File("tone.wav", sound_test::WaveFile(8000, 250)), 250, 250},
      {File("tone.au", sound_test::AuFile(8000, 250)), 250, 250},
      {File("tone.aif", sound_test::AiffFile(11025, 400)), 400, 400},
      {Data("cue_mpeg1.mp3"), 500, 700},
      {Data("cue_mpeg2.mp3"), 500, 700},
      {Data("cue_mpeg25.mp3"), 500, 700},
      {Data("cue_id3.mp3"), 500, 700},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::int64_t length = LengthOf(c.path);
    EXPECT_GE(length, c.shortest);
    EXPECT_LE(length, c.longest);
    PlaySoundCue(backend_, c.path.c_str(), state_);
    EXPECT_EQ(state_.state, kSoundCueOpen);
    EXPECT_EQ(backend_.OpenDeviceCount(), 1u);
    StopSoundCue(backend_, state_);
    EXPECT_EQ(backend_.OpenDeviceCount(), 0u);
  }
}

TEST_F(GstSoundBackendTest, MidiPlaysWhereASynthesiserIsInstalledAndFailsSilentlyElsewhere) {
  // The fluidsynth decoder looks for a General MIDI sound font in these folders.
  GstElementFactory* synth = gst_element_factory_find("fluiddec");
  std::error_code ignored;
  const bool canPlay = synth != nullptr && (std::filesystem::exists("/usr/share/sounds/sf2", ignored) ||
                                            std::filesystem::exists("/usr/share/sounds/sf3", ignored));
  if (synth != nullptr) gst_object_unref(synth);
  // The WildMidi decoder, which hangs a duration query, must never be picked.
  if (GstPluginFeature* wildMidi = gst_registry_lookup_feature(gst_registry_get(), "wildmididec")) {
    EXPECT_EQ(gst_plugin_feature_get_rank(wildMidi), static_cast<guint>(GST_RANK_NONE));
    gst_object_unref(wildMidi);
  }

  PlaySoundCue(backend_, File("note.mid", sound_test::MidiFile()).c_str(), state_);
  EXPECT_EQ(state_.state, canPlay ? kSoundCueOpen : kSoundCueIdle);
  if (canPlay) {
    EXPECT_EQ(backend_.Length(state_.device), 500);  // a quarter note at 120 a minute
  }
  StopSoundCue(backend_, state_);
  EXPECT_EQ(backend_.OpenDeviceCount(), 0u);
}

TEST_F(GstSoundBackendTest, BadFilesFailSilentlyAndLeaveNothingOpen) {
  const Bytes mp3 = sound_test::ReadFile(Data("cue_mpeg1.mp3"));
  ASSERT_GT(mp3.size(), 200u);
  for (const std::string& path :
       {File("empty.wav", {}), File("eleven.wav", Bytes(11, 'R')), File("avi.wav", Lying("RIFF", "AVI ")),
        File("cd.cda", Lying("RIFF", "CDDA")),  // no CD drive to play a track from
        File("lie.wav", Lying("RIFF", "WAVE")), File("lie.au", Lying(".snd")), File("lie.mid", Lying("MThd")),
        File("lie.mp3", Lying("ID3")), File("lie2.mp3", Lying("\xFF\xFB")), File("lie.aif", Lying("FORM", "AIFF")),
        File("lie.wma", Lying("\x30\x26\xB2\x75")),
        File("cut.mp3", Bytes(mp3.begin(), mp3.begin() + 100)),  // cut inside the first frame
        dir_.File(""), dir_.File("missing.wav")}) {
    SCOPED_TRACE(path);
    ::testing::internal::CaptureStderr();
    PlaySoundCue(backend_, path.c_str(), state_);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(state_.state, kSoundCueIdle);
    EXPECT_EQ(backend_.OpenDeviceCount(), 0u);
  }
}

TEST_F(GstSoundBackendTest, AnMp3CutShortPlaysThePartThatIsThere) {
  const Bytes mp3 = sound_test::ReadFile(Data("cue_mpeg1.mp3"));
  const std::int64_t length = LengthOf(File("half.mp3", Bytes(mp3.begin(), mp3.begin() + mp3.size() / 2)));
  EXPECT_GT(length, 100);
  EXPECT_LT(length, LengthOf(Data("cue_mpeg1.mp3")));
}

TEST_F(GstSoundBackendTest, AFinishedCueStaysOpenUntilTheNextStop) {
  PlaySoundCue(backend_, File("hit.wav", sound_test::WaveFile(8000, 50)).c_str(), state_);
  ASSERT_EQ(state_.state, kSoundCueOpen);
  g_usleep(200 * 1000);  // well past the end of the sound
  EXPECT_EQ(backend_.OpenDeviceCount(), 1u);
  StopSoundCue(backend_, state_);
  PlaySoundCue(backend_, File("miss.au", sound_test::AuFile(8000, 50)).c_str(), state_);
  EXPECT_EQ(state_.state, kSoundCueOpen);
  EXPECT_EQ(backend_.OpenDeviceCount(), 1u);
}

TEST_F(GstSoundBackendTest, UnknownDevicesAndUnusableSinksAreRefusedQuietly) {
  EXPECT_EQ(backend_.Length(12345), 0);
  EXPECT_FALSE(backend_.Play(12345));
  backend_.Close(12345);

  const std::string wave = File("tone.wav", sound_test::WaveFile(8000, 100));
  for (const char* sink : {"nosuchsink", "fakesink ! fakesink", ""}) {
    SCOPED_TRACE(sink);
    GstSoundBackend backend(sink);
    PlaySoundCue(backend, wave.c_str(), state_);
    PlaySoundCue(backend, Data("cue_id3.mp3").c_str(), state_);
    EXPECT_EQ(state_.state, kSoundCueIdle);
    EXPECT_EQ(backend.OpenDeviceCount(), 0u);
  }
}

TEST(QuietAudioSinkTest, GoesToTheSoundServerElseTheCardElseNowhere) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "luckyscope-sinks";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "run/pulse");
  std::filesystem::create_directories(root / "snd");
  std::filesystem::create_directories(root / "capture-only");
  // A socket where the PulseAudio server (or PipeWire's stand-in) listens.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (root / "run/pulse/native").string();
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const char* node : {"snd/controlC0", "snd/pcmC0D0p", "capture-only/pcmC0D0c"}) std::ofstream(root / node).put('x');
  const std::string run = (root / "run").string(), none = (root / "none").string();
  struct Case {
    AudioEnvironment env;
    const char* sink;
  };
  const Case cases[] = {
      {{run, "", (root / "snd").string()}, "pulsesink"},
      {{none, "tcp:server", none}, "pulsesink"},
      {{none, "", (root / "snd").string()}, "alsasink"},
      {{none, "", (root / "capture-only").string()}, "fakesink"},
      {{"", "", none}, "fakesink"},
  };
  for (const Case& c : cases) EXPECT_EQ(QuietAudioSink(c.env), c.sink) << c.env.runtimeDir << " " << c.env.soundDevices;
  ::close(fd);
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace luckyscope
