// The GStreamer back end starts GStreamer when a sound is first opened, not when it is
// made: the program makes it before its window shows. A program of its own, so that
// nothing has started GStreamer before the test does.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "sound/gst_sound_backend.h"
#include "sound/sound_cue.h"
#include "tests/sound/sound_files.h"

namespace luckyscope {
namespace {

TEST(GstFirstUseTest, MakingTheBackEndStartsNothingAndTheFirstCuePlays) {
  GstSoundBackend backend("fakesink");
  EXPECT_FALSE(gst_is_initialized());

  sound_test::TempDir dir;
  const std::string cue = dir.File("hit.wav");
  sound_test::WriteFile(cue, sound_test::WaveFile(8000, 250));
  SoundCueState state;
  PlaySoundCue(backend, cue.c_str(), state);
  EXPECT_TRUE(gst_is_initialized());
  EXPECT_EQ(state.state, kSoundCueOpen);
  EXPECT_EQ(backend.OpenDeviceCount(), 1u);
  // A second cue after the first: the one open device is the new one.
  PlaySoundCue(backend, cue.c_str(), state);
  EXPECT_EQ(state.state, kSoundCueOpen);
  StopSoundCue(backend, state);
  EXPECT_EQ(backend.OpenDeviceCount(), 0u);
}

}  // namespace
}  // namespace luckyscope
