#include "core/lottery_store.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>

#include <gtest/gtest.h>

#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

using testing::Entry;
using testing::NewStore;
using testing::Target;

TEST(LotteryStoreTest, GetTargetReadsOnlyNumbersWithinTheCount) {
  auto store = NewStore();
  SearchTarget out = Target("untouched", "", "");
  EXPECT_EQ(store->GetTarget(1, 1, out), -1);
  store->PutTarget(1, Target("a", "01", "123456"));
  store->SetTargetCount(1);
  EXPECT_EQ(store->GetTarget(1, 0, out), -1);
  EXPECT_EQ(store->GetTarget(1, 2, out), -1);
  EXPECT_STREQ(out.name, "untouched");
  store->TargetSlots()[0].hitMask = 0x5;
  ASSERT_EQ(store->GetTarget(0, 1, out), 0);
  EXPECT_EQ(out.hitMask, 0u);
  ASSERT_EQ(store->GetTarget(1, 1, out), 0);
  EXPECT_EQ(out.hitMask, 0x5u);
}

TEST(LotteryStoreTest, PutTargetResultsAndChangedFlag) {
  auto store = NewStore();
  EXPECT_EQ(store->PutTarget(0, Target("a", "", "")), -1);
  EXPECT_EQ(store->PutTarget(1, Target("", "", "")), kPutUnchanged);  // empty onto empty
  EXPECT_EQ(store->PutTarget(kMaxTargets, Target("last", "01", "1")), kPutStored);
  EXPECT_EQ(store->TargetCount(), 0);  // any slot may be written; the count stays
  store->SetTargetsChanged(0);
  EXPECT_EQ(store->PutTarget(kMaxTargets, Target("last", "01", "1")), kPutUnchanged);
  EXPECT_EQ(store->TargetsChanged(), 0);

  // An empty name clears group and number too; the hit results stay.
  SearchTarget& slot = store->TargetSlots()[kMaxTargets - 1];
  slot.hitMask = 0x80000000u;
  EXPECT_EQ(store->PutTarget(kMaxTargets, Target("", "01", "1")), kPutCleared);
  EXPECT_EQ(store->TargetsChanged(), 1);
  EXPECT_STREQ(slot.number, "");
  EXPECT_EQ(slot.hitMask, 0x80000000u);

  // Fields without a terminator are cut at their width.
  SearchTarget rec{};
  std::memset(&rec, '9', sizeof rec);
  ASSERT_EQ(store->PutTarget(1, rec), kPutStored);
  EXPECT_EQ(std::strlen(store->TargetSlots()[0].name), 255u);
  EXPECT_EQ(std::strlen(store->TargetSlots()[0].group), 15u);
}

TEST(LotteryStoreTest, AppendTargetCountsTheTicketUntilTheTableIsFull) {
  auto store = NewStore();
  store->TargetSlots()[0].hitMask = 0x1u;  // stale results in the slot beyond the count
  struct Step {
    int countBefore;
    const char* name;
    int result;
    int countAfter;
  } const steps[] = {
      {0, "first", 1, 1},
      {1, "", -1, 1},  // no name: refused, nothing counted
      {1, "second", 2, 2},
      {kMaxTargets - 1, "last", kMaxTargets, kMaxTargets},
      {kMaxTargets, "over", 0, kMaxTargets},  // full
  };
  for (const auto& step : steps) {
    store->SetTargetCount(step.countBefore);
    store->SetTargetsChanged(0);
    EXPECT_EQ(store->AppendTarget(Target(step.name, "A", "123456")), step.result) << step.name;
    EXPECT_EQ(store->TargetCount(), step.countAfter) << step.name;
    EXPECT_EQ(store->TargetsChanged(), step.result > 0 ? 1 : 0) << step.name;
    if (step.result > 0) {
      const SearchTarget& slot = store->TargetSlots()[step.result - 1];
      EXPECT_STREQ(slot.name, step.name);
      EXPECT_STREQ(slot.number, "123456");
      EXPECT_EQ(slot.hitMask, 0u) << step.name;
    }
  }
}

TEST(LotteryStoreTest, PutWinningEntryResults) {
  auto store = NewStore();
  EXPECT_EQ(store->PutWinningEntry(33, Entry("x", {})), -1);
  const WinningEntry first = Entry("1等", {{"*", "123456"}, {"01", "*9"}});
  EXPECT_EQ(store->PutWinningEntry(1, first), kPutStored);
  store->SetWinningChanged(0);
  EXPECT_EQ(store->PutWinningEntry(1, first), kPutUnchanged);
  EXPECT_EQ(store->WinningChanged(), 0);
  // Same title with another pair, or fewer pairs: stored; later pairs keep their bytes.
  EXPECT_EQ(store->PutWinningEntry(1, Entry("1等", {{"*", "123456"}, {"01", "*8"}})), kPutStored);
  EXPECT_EQ(store->PutWinningEntry(1, Entry("1等", {{"*", "123456"}})), kPutStored);
  EXPECT_STREQ(store->WinningSlots()[0].pairs[1].number, "*8");
  EXPECT_EQ(store->PutWinningEntry(1, Entry("", {{"*", "1"}})), kPutCleared);
  EXPECT_STREQ(store->WinningSlots()[0].pairs[1].number, "");
}

// Removal as the main window does it.
void RemoveTarget(LotteryStore& store, int regNo) { ASSERT_EQ(store.RemoveTarget(regNo), 0); }

// A clear skips the zeroing of a table nothing has written to since it was made or
// last cleared; every way of writing to a table must make the next clear zero it.
TEST(LotteryStoreTest, ClearZeroesWhateverWayTheTablesWereWritten) {
  const std::function<void(LotteryStore&)> writes[] = {
      [](LotteryStore& s) { s.PutTarget(kMaxTargets, Target("n", "g", "1")); },
      [](LotteryStore& s) { s.SetTargetHits(1, 1, 0x80000000u); },
      [](LotteryStore& s) { s.TargetSlots()[5000].number[3] = '7'; },
      [](LotteryStore& s) {
        s.PutWinningEntry(kMaxWinningEntries, Entry("t", {{"*", "1"}}));
      },
      [](LotteryStore& s) { s.WinningSlots()[3].pairs[31].group[0] = '*'; },
  };
  auto allZero = [](const void* table, std::size_t bytes) {
    const auto* b = static_cast<const unsigned char*>(table);
    return std::all_of(b, b + bytes, [](unsigned char c) { return c == 0; });
  };
  for (std::size_t w = 0; w < std::size(writes); ++w) {
    for (bool clearedBefore : {false, true}) {
      auto store = std::make_unique<LotteryStore>();
      if (clearedBefore) {
        store->ClearTargets();
        store->ClearWinningEntries();
      }
      writes[w](*store);
      store->ClearTargets();
      store->ClearWinningEntries();
      const LotteryStore& cleared = *store;
      EXPECT_TRUE(allZero(cleared.TargetSlots(), sizeof(SearchTarget) * kMaxTargets)) << "write " << w;
      EXPECT_TRUE(allZero(cleared.WinningSlots(), sizeof(WinningEntry) * kMaxWinningEntries)) << "write " << w;
    }
  }
}

TEST(LotteryStoreTest, RemovalSequence) {
  auto store = NewStore();
  store->PutTarget(1, Target("only", "", ""));
  store->SetTargetCount(1);
  RemoveTarget(*store, 1);
  EXPECT_EQ(store->TargetCount(), 0);
  EXPECT_EQ(store->TargetsChanged(), 0);

  for (int r = 1; r <= 5; ++r) {
    store->PutTarget(r, Target("t" + std::to_string(r), "", ""));
    store->TargetSlots()[r - 1].hitMask = 1u << r;
  }
  store->SetTargetCount(5);
  RemoveTarget(*store, 3);
  const SearchTarget* slots = store->TargetSlots();
  EXPECT_EQ(store->TargetCount(), 4);
  EXPECT_STREQ(slots[2].name, "t4");
  EXPECT_EQ(slots[3].hitMask, 1u << 5);
  const SearchTarget empty{};
  EXPECT_EQ(std::memcmp(&slots[4], &empty, sizeof empty), 0);

  store->CloseTargetGap(0);  // names no slot: moves nothing
  EXPECT_STREQ(slots[0].name, "t1");
}

// A number outside 1..count names no ticket: nothing moves, the count stays and the
// table is not marked changed.
TEST(LotteryStoreTest, RemoveTargetRefusesNumbersOutsideTheCount) {
  auto store = NewStore();
  for (int r = 1; r <= 3; ++r) store->PutTarget(r, Target("t" + std::to_string(r), "", ""));
  store->PutTarget(4, Target("beyond", "", ""));  // a slot past the count
  store->SetTargetCount(3);
  store->SetTargetsChanged(0);
  for (int regNo : {0, -1, 4, kMaxTargets + 1}) {
    EXPECT_EQ(store->RemoveTarget(regNo), -1) << regNo;
    EXPECT_EQ(store->TargetCount(), 3) << regNo;
    EXPECT_EQ(store->TargetsChanged(), 0) << regNo;
    EXPECT_STREQ(store->TargetSlots()[0].name, "t1") << regNo;
    EXPECT_STREQ(store->TargetSlots()[3].name, "beyond") << regNo;
  }
  EXPECT_EQ(store->RemoveTarget(3), 0);  // the last one: the count drops, the table changed
  EXPECT_EQ(store->TargetCount(), 2);
  EXPECT_EQ(store->TargetsChanged(), 1);
}

}  // namespace
}  // namespace luckyscope
