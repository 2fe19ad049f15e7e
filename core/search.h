#pragma once
// The fast search: every ticket's hit flag and hit mask against every pair of every
// winning entry, the same as the literal search of matching.h gives, found through
// indexes and bit sets built for each search.

#include "core/lottery_store.h"

namespace luckyscope {

// Recomputes every target's hit flag and hit mask against every pair of every
// winning entry. Changes no unsaved-changes flag. Returns 0.
int RunSearch(LotteryStore& store);

}  // namespace luckyscope
