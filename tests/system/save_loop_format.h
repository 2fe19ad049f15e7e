#pragma once
// The tables that save_loop writes: generation g has 10,000 targets whose names carry
// g, so that a file read back tells which generation it holds and whether it is whole.

#include <cstdio>
#include <string>

#include "core/lottery_store.h"

namespace luckyscope::testing {

inline constexpr int kLoopTargets = kMaxTargets;

inline void FillGeneration(LotteryStore& store, long generation) {
  SearchTarget* slots = store.TargetSlots();
  for (int i = 0; i < kLoopTargets; ++i) {
    SearchTarget& t = slots[i];
    std::snprintf(t.name, sizeof t.name, "gen%08ld ticket %05d", generation, i + 1);
    std::snprintf(t.group, sizeof t.group, "%02d", i % 100);
    std::snprintf(t.number, sizeof t.number, "%06ld", (generation * 7919L + i) % 1000000L);
  }
  store.SetTargetCount(kLoopTargets);
  store.SetTargetsChanged(1);
}

// The bytes of generation g's file as the data core writes it.
inline std::string ExpectedTargetFile(long generation) {
  std::string out;
  out.reserve(kLoopTargets * 48);
  char line[128];
  for (int i = 0; i < kLoopTargets; ++i) {
    std::snprintf(line, sizeof line, "\"gen%08ld ticket %05d\",\"%02d\",\"%06ld\"\r\n", generation, i + 1, i % 100,
                  (generation * 7919L + i) % 1000000L);
    out += line;
  }
  return out;
}

}  // namespace luckyscope::testing
