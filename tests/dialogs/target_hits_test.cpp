// SetTargetHits: the one store operation that writes a hit result by hand.

#include <gtest/gtest.h>

#include "core/lottery_store.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

TEST(SetTargetHitsTest, SetsTheResultOfAnySlotAndNothingElse) {
  auto store = testing::NewStore();
  store->PutTarget(1, testing::Target("a", "1", "2"));
  store->SetTargetCount(1);
  store->SetTargetsChanged(0);

  EXPECT_EQ(store->SetTargetHits(1, 7, 0x80000001u), 0);
  EXPECT_EQ(store->TargetSlots()[0].hit, 1);  // a flag: any non-zero hit is 1
  EXPECT_EQ(store->TargetSlots()[0].hitMask, 0x80000001u);
  EXPECT_STREQ(store->TargetSlots()[0].name, "a");
  EXPECT_EQ(store->TargetsChanged(), 0);  // hit results are not unsaved data

  EXPECT_EQ(store->SetTargetHits(10000, 0, 0), 0);  // beyond the count is allowed
  EXPECT_EQ(store->SetTargetHits(1, 0, 0), 0);
  EXPECT_EQ(store->TargetSlots()[0].hit, 0);
  EXPECT_EQ(store->TargetCount(), 1);

  const SearchTarget before = store->TargetSlots()[0];
  EXPECT_EQ(store->SetTargetHits(0, 1, 1), -1);
  EXPECT_EQ(store->SetTargetHits(10001, 1, 1), -1);
  EXPECT_EQ(store->SetTargetHits(-3, 1, 1), -1);
  EXPECT_EQ(store->TargetSlots()[0].hitMask, before.hitMask);
}

}  // namespace
}  // namespace luckyscope
