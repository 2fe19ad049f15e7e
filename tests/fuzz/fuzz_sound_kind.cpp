// The sound kind of any file: -2 for fewer than 12 bytes, otherwise the first row of
// the kind table that the header matches, or -1.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sound/sound_cue.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

namespace {

bool RowMatches(const SoundKind& kind, const std::uint8_t* header) {
  for (int i = 0; i < kind.firstLength; ++i) {
    if (header[i] != kind.firstMagic[static_cast<std::size_t>(i)]) return false;
  }
  for (int i = 0; i < kind.secondLength; ++i) {
    if (header[kSoundSecondTestOffset + i] != kind.secondMagic[static_cast<std::size_t>(i)]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input;
  const int kind = DetectSoundKind(input.Put(data, size));
  if (size < static_cast<std::size_t>(kSoundHeaderSize)) {
    Check(kind == kSoundFileUnreadable, "a short file is unreadable");
    return 0;
  }
  int expected = kSoundKindUnknown;
  for (int row = 0; row < kSoundKindCount; ++row) {
    if (RowMatches(kSoundKindTable[static_cast<std::size_t>(row)], data)) {
      expected = row;
      break;
    }
  }
  Check(kind == expected, "kind differs from the first matching row");
  return 0;
}
