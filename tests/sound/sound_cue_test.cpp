// Sound cue contracts on a back end that records every step.
#include "sound/sound_cue.h"

#include <algorithm>
#include <set>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/sound/sound_files.h"

namespace luckyscope {
namespace {

using sound_test::Bytes;

struct RecordingBackend : SoundBackend {
  std::int32_t OpenByType(SoundDeviceType type, const char* path) override {
    return Opened("open-type " + std::to_string(static_cast<int>(type)), path);
  }
  std::int32_t OpenByFileName(const char* path) override { return Opened("open-name", path); }
  std::int64_t Length(std::int32_t device) override { return Log("length", device), length; }
  bool Play(std::int32_t device) override { return Log("play", device), playWorks; }
  void Close(std::int32_t device) override { Log("close", device), open.erase(device); }

  std::int32_t Opened(const std::string& step, const char* path) {
    log += step + ";";
    lastPath = path;
    if (!openWorks) return 0;
    open.insert(next);
    mostOpen = std::max(mostOpen, open.size());
    return next++;
  }
  void Log(const char* step, std::int32_t device) { log += step + (" " + std::to_string(device)) + ";"; }

  bool openWorks = true, playWorks = true;
  std::int64_t length = 1500;
  std::string log, lastPath;
  std::set<std::int32_t> open;
  std::size_t mostOpen = 0;
  std::int32_t next = 41;
};

// 12 header bytes: `first` at offset 0 and `second` at offset 8, 'x' elsewhere.
Bytes Header(std::string first, std::string second = "") {
  Bytes bytes(12, 'x');
  std::copy(first.begin(), first.end(), bytes.begin());
  std::copy(second.begin(), second.end(), bytes.begin() + 8);
  return bytes;
}

class SoundCueTest : public ::testing::Test {
 protected:
  std::string File(const Bytes& bytes, const std::string& name = "cue") {
    sound_test::WriteFile(dir_.File(name), bytes);
    return dir_.File(name);
  }
  sound_test::TempDir dir_;
  RecordingBackend backend_;
  SoundCueState state_;
};

TEST_F(SoundCueTest, TheHeaderPicksTheRowAndTheRowPicksTheDevice) {
  struct Case {
    Bytes header;
    int row;
    const char* open;
  };
  const Case cases[] = {
      {Header("RIFF", "WAVE"), 0, "open-type 522"},  // "RIFF" rows: the form decides
      {Header(".snd"), 1, "open-name"},
      {Header("MThd"), 2, "open-type 523"},
      {Header("ID3"), 3, "open-name"},
      {Header("\xFF\xFB"), 4, "open-name"},  // MPEG-1 frame header, no ID3 tag
      {Header("\xFF\xE3"), 5, "open-name"},
      {Header("\xFF\xF3"), 6, "open-name"},
      {Header("FORM", "AIFF"), 7, "open-name"},
      {Header("\x30\x26\xB2\x75"), 8, "open-name"},
      {Header("RIFF", "CDDA"), 9, "open-type 516"},
      {Header("RIFF", "AVI "), -1, ""},  // a RIFF of another form
      {Header("RIFF", "wave"), -1, ""},
      {Header("FORM", "AIFC"), -1, ""},
      {Header("\xFF\xFA"), -1, ""},  // MPEG-1 with CRC is not in the table
      {Header("ID"), -1, ""},
      {Bytes(12, 0), -1, ""},
  };
  for (const auto& c : cases) {
    Bytes longer = c.header;  // only the first 12 bytes count
    longer.resize(3000, 0xFF);
    const std::string path = File(longer);
    SCOPED_TRACE(std::string(c.header.begin(), c.header.end()));
    EXPECT_EQ(DetectSoundKind(path.c_str()), c.row);

    RecordingBackend backend;
    std::int32_t device = -5;
    const std::int64_t length = OpenSoundDevice(backend, path.c_str(), device);
    if (c.row < 0) {
      EXPECT_EQ(length, -1);
      EXPECT_EQ(device, 0);
      EXPECT_EQ(backend.log, "");  // no device call at all
    } else {
      EXPECT_EQ(length, 1500);
      EXPECT_EQ(device, 41);
      EXPECT_EQ(backend.log, std::string(c.open) + ";length 41;");
      EXPECT_EQ(backend.lastPath, path);
    }
  }
}

TEST_F(SoundCueTest, ShortMissingAndUnusualFilesAreUnreadable) {
  Bytes eleven = Header("RIFF", "WAVE");
  eleven.resize(11);
  const std::string fifo = dir_.File("fifo.wav");  // nobody writes to it: must not hang
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path :
       {File({}, "empty"), File(eleven, "eleven"), dir_.File("missing.wav"), dir_.File(""), fifo, std::string()}) {
    EXPECT_EQ(DetectSoundKind(path.c_str()), kSoundFileUnreadable) << path;
    PlaySoundCue(backend_, path.c_str(), state_);
  }
  EXPECT_EQ(DetectSoundKind(nullptr), kSoundFileUnreadable);
  EXPECT_EQ(backend_.log, "");
  EXPECT_EQ(state_.state, kSoundCueIdle);
}

TEST_F(SoundCueTest, PlayLeavesTheDeviceOpenUntilStop) {
  PlaySoundCue(backend_, File(Header("ID3")).c_str(), state_);
  EXPECT_EQ(backend_.log, "open-name;length 41;play 41;");
  EXPECT_EQ(state_.state, kSoundCueOpen);
  EXPECT_EQ(state_.device, 41);
  EXPECT_EQ(backend_.open.size(), 1u);

  StopSoundCue(backend_, state_);
  StopSoundCue(backend_, state_);  // idle: nothing to do
  EXPECT_EQ(backend_.log, "open-name;length 41;play 41;close 41;");
  EXPECT_EQ(state_.state, kSoundCueIdle);
  EXPECT_TRUE(backend_.open.empty());
}

TEST_F(SoundCueTest, ACueThatCannotPlayLeavesTheStateIdleAndNoDeviceOpen) {
  const std::string path = File(Header("RIFF", "WAVE"));
  // A device that opened but knows no length is closed at once: with the state idle,
  // no later stop would ever close it.
  backend_.length = 0;
  PlaySoundCue(backend_, path.c_str(), state_);
  backend_.length = -1;
  PlaySoundCue(backend_, path.c_str(), state_);
  EXPECT_EQ(backend_.log, "open-type 522;length 41;close 41;open-type 522;length 42;close 42;");

  backend_.length = 900;
  backend_.playWorks = false;
  backend_.log.clear();
  PlaySoundCue(backend_, path.c_str(), state_);
  EXPECT_EQ(backend_.log, "open-type 522;length 43;play 43;close 43;");

  backend_.openWorks = false;
  backend_.log.clear();
  PlaySoundCue(backend_, path.c_str(), state_);
  EXPECT_EQ(backend_.log, "open-type 522;");

  EXPECT_EQ(state_.state, kSoundCueIdle);
  EXPECT_TRUE(backend_.open.empty());
}

TEST_F(SoundCueTest, TwoCuesInARowCloseTheFirstBeforeTheSecondOpens) {
  const std::string hit = File(Header("RIFF", "WAVE"), "hit");
  const std::string miss = File(Header(".snd"), "miss");
  for (const std::string* path : {&hit, &miss}) {  // every caller's pattern
    if (state_.state > 0) StopSoundCue(backend_, state_);
    PlaySoundCue(backend_, path->c_str(), state_);
  }
  EXPECT_EQ(backend_.log, "open-type 522;length 41;play 41;close 41;open-name;length 42;play 42;");
  EXPECT_EQ(backend_.mostOpen, 1u);
  EXPECT_EQ(state_.device, 42);

  // A caller that forgets the stop does not leave the old cue playing unowned, even
  // when the new one cannot play.
  PlaySoundCue(backend_, hit.c_str(), state_);
  PlaySoundCue(backend_, dir_.File("missing").c_str(), state_);
  EXPECT_EQ(backend_.mostOpen, 1u);
  EXPECT_TRUE(backend_.open.empty());
  EXPECT_EQ(state_.state, kSoundCueIdle);
}

}  // namespace
}  // namespace luckyscope
