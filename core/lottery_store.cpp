#include "core/lottery_store.h"

#include <cstring>

#include "core/text_util.h"

namespace luckyscope {

namespace {

bool SameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

}  // namespace

LotteryStore::LotteryStore() {
  std::memset(targets_, 0, sizeof targets_);
  std::memset(winning_, 0, sizeof winning_);
}

int LotteryStore::ClearTargets() {
  std::memset(targets_, 0, sizeof targets_);
  targetCount_ = 0;
  targetsChanged_ = 0;
  editPosition_ = -1;
  return 0;
}

int LotteryStore::ClearWinningEntries() {
  std::memset(winning_, 0, sizeof winning_);
  winningCount_ = 0;
  winningChanged_ = 0;
  return 0;
}

int LotteryStore::GetTarget(int withHits, int regNo, SearchTarget& out) const {
  if (regNo < 1 || regNo > targetCount_) return -1;
  const SearchTarget& slot = targets_[regNo - 1];
  std::memcpy(out.name, slot.name, sizeof out.name);
  std::memcpy(out.group, slot.group, sizeof out.group);
  std::memcpy(out.number, slot.number, sizeof out.number);
  out.hit = withHits ? slot.hit : 0;
  out.hitMask = withHits ? slot.hitMask : 0;
  return 0;
}

int LotteryStore::PutTarget(int regNo, const SearchTarget& rec) {
  if (regNo < 1 || regNo > kMaxTargets) return -1;
  SearchTarget& slot = targets_[regNo - 1];
  // The stored texts are always terminated; the caller's record is read only up to
  // each field's width so that an unterminated field cannot run past it.
  // Zero-filled, so that the slot takes no stray bytes after a terminator.
  char name[kTextSize] = {}, group[kFieldSize] = {}, number[kFieldSize] = {};
  CopyCut(name, rec.name);
  CopyCut(group, rec.group);
  CopyCut(number, rec.number);
  if (SameText(slot.name, name) && SameText(slot.group, group) && SameText(slot.number, number)) {
    return kPutUnchanged;
  }
  targetsChanged_ = 1;
  // Hit results stay with the slot until the next search.
  if (name[0] != '\0') {
    std::memcpy(slot.name, name, sizeof name);
    std::memcpy(slot.group, group, sizeof group);
    std::memcpy(slot.number, number, sizeof number);
    return kPutStored;
  }
  std::memset(slot.name, 0, sizeof slot.name);
  std::memset(slot.group, 0, sizeof slot.group);
  std::memset(slot.number, 0, sizeof slot.number);
  return kPutCleared;
}

int LotteryStore::GetWinningEntry(int regNo, WinningEntry& out) const {
  if (regNo < 1 || regNo > winningCount_) return -1;
  const WinningEntry& slot = winning_[regNo - 1];
  std::memcpy(out.title, slot.title, sizeof out.title);
  out.pairCount = slot.pairCount;
  int n = slot.pairCount < 0 ? 0 : (slot.pairCount > kMaxPairs ? kMaxPairs : slot.pairCount);
  for (int k = 0; k < n; ++k) out.pairs[k] = slot.pairs[k];
  return 0;
}

int LotteryStore::PutWinningEntry(int regNo, const WinningEntry& rec) {
  if (regNo < 1 || regNo > kMaxWinningEntries) return -1;
  WinningEntry& slot = winning_[regNo - 1];
  // A pair count outside 0..32 would index past the pairs; it is held to that range.
  int count = rec.pairCount < 0 ? 0 : (rec.pairCount > kMaxPairs ? kMaxPairs : rec.pairCount);
  char title[kTextSize] = {};
  CopyCut(title, rec.title);
  WinningPair pairs[kMaxPairs];
  for (int k = 0; k < count; ++k) {
    CopyCut(pairs[k].group, rec.pairs[k].group);
    CopyCut(pairs[k].number, rec.pairs[k].number);
  }
  bool same = SameText(slot.title, title) && slot.pairCount == count;
  for (int k = 0; same && k < count; ++k) {
    same = SameText(slot.pairs[k].group, pairs[k].group) && SameText(slot.pairs[k].number, pairs[k].number);
  }
  if (same) return kPutUnchanged;
  winningChanged_ = 1;
  if (title[0] != '\0') {
    std::memcpy(slot.title, title, sizeof title);
    slot.pairCount = count;
    for (int k = 0; k < count; ++k) {
      // Later pairs of the slot keep their bytes.
      std::memset(&slot.pairs[k], 0, sizeof slot.pairs[k]);
      std::memcpy(slot.pairs[k].group, pairs[k].group, std::strlen(pairs[k].group) + 1);
      std::memcpy(slot.pairs[k].number, pairs[k].number, std::strlen(pairs[k].number) + 1);
    }
    return kPutStored;
  }
  std::memset(&slot, 0, sizeof slot);
  return kPutCleared;
}

// Callers pass 0..10000 and 0..32; a count outside the table would let every later
// reader run past it, so it is held to the table's size.
int LotteryStore::AppendTarget(const SearchTarget& rec) {
  if (rec.name[0] == '\0') return -1;
  if (targetCount_ >= kMaxTargets) return 0;
  const int regNo = targetCount_ + 1;
  PutTarget(regNo, rec);
  // A new ticket has not been searched yet.
  targets_[regNo - 1].hit = 0;
  targets_[regNo - 1].hitMask = 0;
  targetCount_ = regNo;
  targetsChanged_ = 1;
  return regNo;
}

int LotteryStore::SetTargetCount(int count) {
  targetCount_ = count < 0 ? 0 : (count > kMaxTargets ? kMaxTargets : count);
  if (count == 0) targetsChanged_ = 0;
  return 0;
}

int LotteryStore::SetWinningCount(int count) {
  winningCount_ = count < 0 ? 0 : (count > kMaxWinningEntries ? kMaxWinningEntries : count);
  if (count == 0) winningChanged_ = 0;
  return 0;
}

int LotteryStore::SetEditPosition(int index) {
  editPosition_ = index;
  return 0;
}

int LotteryStore::CloseTargetGap(int regNo) {
  // Later targets move down one slot with their hit results; the last slot has no
  // successor and is zeroed, so that every slot beyond the count stays empty.
  // There is no gap before the first slot: a number below 1 moves nothing (moving
  // from slot 0 would overwrite the first target).
  if (regNo < 1) return 0;
  for (int n = regNo - 1; n < targetCount_; ++n) {
    if (n < kMaxTargets - 1) {
      targets_[n] = targets_[n + 1];
    } else {
      std::memset(&targets_[n], 0, sizeof targets_[n]);
    }
  }
  return 0;
}

int LotteryStore::SetTargetHits(int regNo, int hit, std::uint32_t hitMask) {
  if (regNo < 1 || regNo > kMaxTargets) return -1;
  targets_[regNo - 1].hit = hit != 0 ? 1 : 0;
  targets_[regNo - 1].hitMask = hitMask;
  return 0;
}

}  // namespace luckyscope
