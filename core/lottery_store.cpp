#include "core/lottery_store.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/text_util.h"

namespace luckyscope {

namespace {

bool SameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

template <typename T>
T* ZeroedTable(std::size_t count) {
  void* table = std::calloc(count, sizeof(T));
  if (table == nullptr) throw std::bad_alloc();
  return static_cast<T*>(table);
}

}  // namespace

LotteryStore::LotteryStore()
    : targets_(ZeroedTable<SearchTarget>(kMaxTargets)), winning_(ZeroedTable<WinningEntry>(kMaxWinningEntries)) {}

LotteryStore::LotteryStore(const LotteryStore& other) : LotteryStore() { *this = other; }

LotteryStore& LotteryStore::operator=(const LotteryStore& other) {
  if (this == &other) return *this;
  std::memcpy(targets_.get(), other.targets_.get(), sizeof(SearchTarget) * kMaxTargets);
  std::memcpy(winning_.get(), other.winning_.get(), sizeof(WinningEntry) * kMaxWinningEntries);
  targetsZero_ = other.targetsZero_;
  winningZero_ = other.winningZero_;
  targetCount_ = other.targetCount_;
  targetsChanged_ = other.targetsChanged_;
  winningCount_ = other.winningCount_;
  winningChanged_ = other.winningChanged_;
  editPosition_ = other.editPosition_;
  targetsVersion_ = other.targetsVersion_;
  std::memcpy(targetFile_, other.targetFile_, sizeof targetFile_);
  std::memcpy(winningFile_, other.winningFile_, sizeof winningFile_);
  return *this;
}

int LotteryStore::ClearTargets() {
  if (!targetsZero_) std::memset(targets_.get(), 0, sizeof(SearchTarget) * kMaxTargets);
  targetsZero_ = true;
  targetCount_ = 0;
  targetsChanged_ = 0;
  editPosition_ = -1;
  targetFile_[0] = '\0';
  ++targetsVersion_;
  return 0;
}

int LotteryStore::ClearWinningEntries() {
  if (!winningZero_) std::memset(winning_.get(), 0, sizeof(WinningEntry) * kMaxWinningEntries);
  winningZero_ = true;
  winningCount_ = 0;
  winningChanged_ = 0;
  winningFile_[0] = '\0';
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
  targetsZero_ = false;
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
  ++targetsVersion_;
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
  const int n = ClampPairCount(slot.pairCount);
  for (int k = 0; k < n; ++k) out.pairs[k] = slot.pairs[k];
  return 0;
}

int LotteryStore::PutWinningEntry(int regNo, const WinningEntry& rec) {
  if (regNo < 1 || regNo > kMaxWinningEntries) return -1;
  winningZero_ = false;
  WinningEntry& slot = winning_[regNo - 1];
  // A pair count outside 0..32 would index past the pairs; it is held to that range.
  const int count = ClampPairCount(rec.pairCount);
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
  ++targetsVersion_;
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
  ++targetsVersion_;
  for (int n = regNo - 1; n < targetCount_; ++n) {
    if (n < kMaxTargets - 1) {
      targets_[n] = targets_[n + 1];
    } else {
      std::memset(&targets_[n], 0, sizeof targets_[n]);
    }
  }
  return 0;
}

int LotteryStore::RemoveTarget(int regNo) {
  if (regNo < 1 || regNo > targetCount_) return -1;
  SearchTarget cleared;
  GetTarget(0, regNo, cleared);
  cleared.name[0] = '\0';
  PutTarget(regNo, cleared);
  CloseTargetGap(regNo);
  SetTargetCount(targetCount_ - 1);
  return 0;
}

int LotteryStore::SetTargetHits(int regNo, int hit, std::uint32_t hitMask) {
  if (regNo < 1 || regNo > kMaxTargets) return -1;
  targetsZero_ = false;
  targets_[regNo - 1].hit = hit != 0 ? 1 : 0;
  targets_[regNo - 1].hitMask = hitMask;
  ++targetsVersion_;
  return 0;
}

int LotteryStore::InsertTarget(int regNo, const SearchTarget& rec) {
  if (regNo < 1 || regNo > targetCount_ + 1 || targetCount_ >= kMaxTargets) return -1;
  targetsZero_ = false;
  for (int n = targetCount_; n >= regNo; --n) targets_[n] = targets_[n - 1];
  SearchTarget& slot = targets_[regNo - 1];
  std::memset(&slot, 0, sizeof slot);
  CopyCut(slot.name, rec.name);
  CopyCut(slot.group, rec.group);
  CopyCut(slot.number, rec.number);
  slot.hit = rec.hit != 0 ? 1 : 0;
  slot.hitMask = rec.hitMask;
  ++targetCount_;
  targetsChanged_ = 1;
  ++targetsVersion_;
  return 0;
}

void LotteryStore::SetTargetFile(const char* path) { CopyCut(targetFile_, path != nullptr ? path : ""); }

void LotteryStore::SetWinningFile(const char* path) { CopyCut(winningFile_, path != nullptr ? path : ""); }

}  // namespace luckyscope
