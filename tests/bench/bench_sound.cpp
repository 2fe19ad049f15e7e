// How long PlaySoundCue takes from the call to its return for a 10-second WAVE and
// MP3 on the GStreamer back end with a fake sink: it must not wait for the sound.
// Prints the length each file reports. Run: build/default/tests/bench/bench_sound
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include "sound/gst_sound_backend.h"
#include "sound/sound_cue.h"
#include "tests/sound/sound_files.h"

namespace {

using namespace luckyscope;

constexpr int kSeconds = 10;

// Encodes a 10-second tone as MP3 with GStreamer's LAME encoder.
bool WriteMp3(const std::string& path) {
  const std::string description = "audiotestsrc num-buffers=" + std::to_string(kSeconds * 44100 / 1024) +
                                  " samplesperbuffer=1024 volume=0.2 ! audio/x-raw,rate=44100,channels=1 ! "
                                  "lamemp3enc target=bitrate bitrate=64 cbr=true ! filesink name=out";
  GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
  if (pipeline == nullptr) return false;
  GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  g_object_set(out, "location", path.c_str(), nullptr);
  gst_object_unref(out);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* done = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = done != nullptr && GST_MESSAGE_TYPE(done) == GST_MESSAGE_EOS;
  if (done != nullptr) gst_message_unref(done);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok;
}

void PlayCue(benchmark::State& state, const std::string& path, std::int64_t length) {
  GstSoundBackend backend("fakesink");
  for (auto _ : state) {
    SoundCueState cue;
    PlaySoundCue(backend, path.c_str(), cue);
    state.PauseTiming();
    const bool played = cue.state == kSoundCueOpen;
    StopSoundCue(backend, cue);
    if (!played) {
      state.SkipWithError("the cue did not play");
      break;
    }
    state.ResumeTiming();
  }
  state.counters["length_ms"] = static_cast<double>(length);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!GstSoundBackend::Available()) {
    std::fprintf(stderr, "GStreamer did not start\n");
    return 1;
  }
  sound_test::TempDir dir;
  const std::string wave = dir.File("ten.wav");
  sound_test::WriteFile(wave, sound_test::WaveFile(44100, kSeconds * 1000));
  const std::string mp3 = dir.File("ten.mp3");
  const bool haveMp3 = WriteMp3(mp3);

  GstSoundBackend backend("fakesink");
  for (const std::string* path : {&wave, &mp3}) {
    if (path == &mp3 && !haveMp3) {
      std::printf("ten.mp3: could not be encoded (no lamemp3enc), skipped\n");
      continue;
    }
    std::int32_t device = 0;
    const std::int64_t length = OpenSoundDevice(backend, path->c_str(), device);
    backend.Close(device);
    const std::string name = path == &wave ? "PlaySoundCue/wav_10s" : "PlaySoundCue/mp3_10s";
    std::printf("%s reports a length of %lld ms\n", path == &wave ? "ten.wav" : "ten.mp3",
                static_cast<long long>(length));
    benchmark::RegisterBenchmark(name.c_str(), PlayCue, *path, length)->Unit(benchmark::kMillisecond)->Iterations(30);
  }
  std::fflush(stdout);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
