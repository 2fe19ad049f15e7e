// The winning-number reader on any bytes: at most 32 entries of 1 to 32 pairs with
// every text terminated, hit results cleared, and what it stored saves and loads back
// as the very same entries.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/data_core.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

namespace {

bool SameEntries(const LotteryStore& a, const LotteryStore& b) {
  if (a.WinningCount() != b.WinningCount()) return false;
  for (int j = 0; j < a.WinningCount(); ++j) {
    const WinningEntry& x = a.WinningSlots()[j];
    const WinningEntry& y = b.WinningSlots()[j];
    if (std::strcmp(x.title, y.title) != 0 || x.pairCount != y.pairCount) return false;
    for (int k = 0; k < x.pairCount; ++k) {
      if (std::strcmp(x.pairs[k].group, y.pairs[k].group) != 0 ||
          std::strcmp(x.pairs[k].number, y.pairs[k].number) != 0) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input;
  static DataCore* core = new DataCore();
  static DataCore* again = new DataCore();
  static const std::string saved = ScratchFolder() + "/w.ban";

  // One ticket with a hit from an earlier search: loading new winning numbers clears it.
  LotteryStore& store = core->Store();
  store.SetTargetCount(1);
  store.SetTargetHits(1, 1, 0x5u);

  Check(core->ReadWinningFile(input.Put(data, size)) == 0, "a readable file must load");
  const int count = store.WinningCount();
  Check(count >= 0 && count <= kMaxWinningEntries, "winning count out of range");
  Check(store.WinningChanged() == 0, "a loaded table is not unsaved");
  Check(store.TargetSlots()[0].hit == 0 && store.TargetSlots()[0].hitMask == 0,
        "hit results survive new winning numbers");
  for (int j = 0; j < count; ++j) {
    const WinningEntry& e = store.WinningSlots()[j];
    Check(e.pairCount >= 1 && e.pairCount <= kMaxPairs, "pair count out of range");
    Check(Terminated(e.title, sizeof e.title), "title not terminated");
    for (int k = 0; k < e.pairCount; ++k) {
      Check(Terminated(e.pairs[k].group, sizeof e.pairs[k].group) &&
                Terminated(e.pairs[k].number, sizeof e.pairs[k].number),
            "pair not terminated");
    }
  }

  const int written = core->WriteWinningFile(saved.c_str());
  if (count == 0) {
    Check(written == -3, "an empty table writes nothing");
    return 0;
  }
  Check(written == 0, "the table must save");
  Check(again->ReadWinningFile(saved.c_str()) == 0, "the saved file must load");
  Check(SameEntries(store, again->Store()), "saved winning numbers load back different");
  return 0;
}
