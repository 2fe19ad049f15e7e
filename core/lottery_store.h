#pragma once
// The one in-memory home of the program's data: the search-target table, the
// winning-entry table, their counts and unsaved-changes flags, and the edit position.
// All texts are NUL-terminated CP932 byte strings; sizes count bytes and include the
// terminator. Nothing here allocates after construction.

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace luckyscope {

inline constexpr int kMaxTargets = 10000;
inline constexpr int kMaxWinningEntries = 32;
inline constexpr int kMaxPairs = 32;
inline constexpr int kTextSize = 256;  // names and titles: up to 255 bytes
inline constexpr int kFieldSize = 16;  // groups and numbers: up to 15 bytes
inline constexpr int kPathSize = 512;  // paths: up to 511 bytes

struct SearchTarget {
  char name[kTextSize];
  char group[kFieldSize];
  char number[kFieldSize];
  std::uint8_t hit;       // 1 when the last search found a matching winning pair
  std::uint32_t hitMask;  // bit j: winning entry j+1 matched in the last search
};

struct WinningPair {
  char group[kFieldSize];
  char number[kFieldSize];
};

struct WinningEntry {
  char title[kTextSize];
  std::int32_t pairCount;  // 0..32
  WinningPair pairs[kMaxPairs];
};

// A pair count held to 0..32, so that a count from a file or a caller never indexes
// past an entry's pairs.
constexpr int ClampPairCount(int count) { return count < 0 ? 0 : (count > kMaxPairs ? kMaxPairs : count); }

// Results of the put operations.
inline constexpr int kPutStored = 0;
inline constexpr int kPutCleared = 1;
inline constexpr int kPutUnchanged = 2;

class LotteryStore {
 public:
  LotteryStore();  // zero-filled: no targets, no entries, edit position 0 until ClearTargets
  LotteryStore(const LotteryStore& other);
  LotteryStore& operator=(const LotteryStore& other);

  int ClearTargets();
  int ClearWinningEntries();

  // Registration numbers are 1-based. Reads refuse numbers beyond the count (-1).
  int GetTarget(int withHits, int regNo, SearchTarget& out) const;
  int PutTarget(int regNo, const SearchTarget& rec);
  // Puts the record after the last target and counts it: its registration number, 0
  // when the table is full, -1 for a record without a name (it would be a hole).
  int AppendTarget(const SearchTarget& rec);
  int GetWinningEntry(int regNo, WinningEntry& out) const;
  int PutWinningEntry(int regNo, const WinningEntry& rec);

  int TargetCount() const { return targetCount_; }
  int WinningCount() const { return winningCount_; }
  int TargetsChanged() const { return targetsChanged_; }
  int WinningChanged() const { return winningChanged_; }
  int SetTargetCount(int count);
  int SetWinningCount(int count);
  int SetEditPosition(int index);
  int GetEditPosition() const { return editPosition_; }
  int CloseTargetGap(int regNo);
  // Removes one target: its slot is cleared, later targets move down one number with
  // their hit results and the count drops by one. Removing the last target leaves no
  // unsaved data, removing any other marks the table changed. -1 when regNo is
  // outside 1..count (nothing changes).
  int RemoveTarget(int regNo);
  // The inverse of RemoveTarget: the target takes number regNo (1..count+1) with the
  // hit results it carries, the targets from regNo on move up one number with theirs,
  // and the count grows by one; the table is marked changed. -1 when regNo is outside
  // 1..count+1 or the table is full (nothing changes).
  int InsertTarget(int regNo, const SearchTarget& rec);
  // Sets one target's hit result (hit flag 0/1 and hit mask) without touching the
  // unsaved-changes flag: hit results are not data. Lets an editor move results along
  // with the records it moved. -1 when regNo is outside 1..10000.
  int SetTargetHits(int regNo, int hit, std::uint32_t hitMask);
  // Grows with every change to the search targets, their hit results and their
  // unsaved-changes flag (and every writable access to the slots): equal values mean
  // the targets are as they were.
  std::uint32_t TargetsVersion() const { return targetsVersion_; }

  // The file each table was last loaded from or saved to ("" for none: a cleared
  // table has no file). Kept here so that clearing a table forgets it.
  const char* TargetFile() const { return targetFile_; }
  const char* WinningFile() const { return winningFile_; }
  void SetTargetFile(const char* path);
  void SetWinningFile(const char* path);

  // Direct slot access for the data core's own layers (matching and data files),
  // which work on the tables as they stand. Windows use the operations above.
  SearchTarget* TargetSlots() {
    targetsZero_ = false;
    ++targetsVersion_;
    return targets_.get();
  }
  const SearchTarget* TargetSlots() const { return targets_.get(); }
  WinningEntry* WinningSlots() {
    winningZero_ = false;
    return winning_.get();
  }
  const WinningEntry* WinningSlots() const { return winning_.get(); }
  // Loading or saving a table's file settles its unsaved-changes flag.
  void SetTargetsChanged(int flag) {
    targetsChanged_ = flag ? 1 : 0;
    ++targetsVersion_;
  }
  void SetWinningChanged(int flag) { winningChanged_ = flag ? 1 : 0; }

 private:
  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  // The tables come zeroed from calloc, so the pages of slots never used are never
  // touched (the program starts without writing its 3 MB); a clear writes zeros only
  // when the table may hold something, which every way to write to it notes.
  std::unique_ptr<SearchTarget[], Free> targets_;
  std::unique_ptr<WinningEntry[], Free> winning_;
  bool targetsZero_ = true;
  bool winningZero_ = true;
  std::int32_t targetCount_ = 0;
  std::int32_t targetsChanged_ = 0;
  std::int32_t winningCount_ = 0;
  std::int32_t winningChanged_ = 0;
  std::int32_t editPosition_ = 0;
  std::uint32_t targetsVersion_ = 0;
  char targetFile_[kPathSize] = {};
  char winningFile_[kPathSize] = {};
};

}  // namespace luckyscope
