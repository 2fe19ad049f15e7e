// Removing tickets and taking the removal back; each table's current file.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/data_core.h"
#include "tests/support/file_test_util.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

using testing::CoreInFolder;

struct Snapshot {
  std::vector<std::string> names;
  std::vector<std::uint32_t> masks;
  int changed;
  bool operator==(const Snapshot&) const = default;
};

class UndoRemovalTest : public CoreInFolder {
 protected:
  // Five tickets; the search gives b and d hits (entries 1 and 2).
  void Fill() {
    for (const char* name : {"a", "b", "c", "d", "e"}) {
      AddTarget(name, "01", (std::string("10000") + name[0]).c_str());
    }
    AddEntry("1等", {{"*", "10000b"}});
    AddEntry("2等", {{"01", "10000d"}, {"*", "10000b"}});
    core->RunSearch();
  }
  Snapshot Take() const {
    Snapshot s{{}, {}, core->Store().TargetsChanged()};
    SearchTarget t;
    for (int n = 1; n <= core->Store().TargetCount(); ++n) {
      core->Store().GetTarget(1, n, t);
      s.names.emplace_back(t.name);
      s.masks.push_back(t.hitMask);
    }
    return s;
  }
};

TEST_F(UndoRemovalTest, TakesBackTheTicketsWithTheirHitsAndTheFlag) {
  struct Case {
    std::vector<int> removed;
    int changedBefore;
    int removedCount;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {{2}, 0, 1, {"a", "c", "d", "e"}},
      {{4, 2}, 1, 2, {"a", "c", "e"}},
      {{1, 5, 3, 3, 9, 0}, 0, 3, {"b", "d"}},  // duplicates and numbers outside skipped
      {{1, 2, 3, 4, 5}, 1, 5, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removed.size());
    core->ResetAll();
    Fill();
    core->Store().SetTargetsChanged(c.changedBefore);
    const Snapshot before = Take();
    ASSERT_EQ(before.masks[1], 3u);  // b hit both entries
    EXPECT_EQ(core->RemoveTargets(c.removed), c.removedCount);
    EXPECT_EQ(Take().names, c.left);
    ASSERT_TRUE(core->CanUndoRemoval());
    EXPECT_EQ(core->UndoRemoval(), 0);
    EXPECT_EQ(Take(), before);
    EXPECT_FALSE(core->CanUndoRemoval());  // one level
    EXPECT_EQ(core->UndoRemoval(), -1);
    EXPECT_EQ(Take(), before);
  }
}

TEST_F(UndoRemovalTest, AnyOtherChangeToTheTargetsForgetsTheRemoval) {
  const std::string file = In("t.dat");
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"put", [&] { core->Store().PutTarget(1, testing::Target("z", "", "1")); }},
      {"search", [&] { core->RunSearch(); }},
      {"hits", [&] { core->Store().SetTargetHits(1, 0, 0); }},
      {"clear", [&] { core->Store().ClearTargets(); }},
      {"save", [&] { core->SaveDataFile(file.c_str()); }},
      {"open", [&] { core->OpenDataFile(file.c_str()); }},
  };
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    core->ResetAll();
    Fill();
    core->SaveDataFile(file.c_str());
    ASSERT_EQ(core->RemoveTargets({1}), 1);
    change();
    const Snapshot after = Take();
    EXPECT_FALSE(core->CanUndoRemoval());
    EXPECT_EQ(core->UndoRemoval(), -1);
    EXPECT_EQ(Take(), after);
  }
  // Winning numbers are not the targets; a removal of nothing keeps the last one.
  core->ResetAll();
  Fill();
  ASSERT_EQ(core->RemoveTargets({1}), 1);
  core->Store().PutWinningEntry(1, testing::Entry("3等", {}));
  EXPECT_EQ(core->RemoveTargets({7}), 0);
  EXPECT_TRUE(core->CanUndoRemoval());
  // A second removal replaces the first.
  ASSERT_EQ(core->RemoveTargets({1}), 1);
  ASSERT_EQ(core->UndoRemoval(), 0);
  EXPECT_EQ(Take().names, (std::vector<std::string>{"b", "c", "d", "e"}));
}

TEST_F(UndoRemovalTest, EachTableKnowsItsCurrentFile) {
  Fill();
  const std::string dat = In("targets.dat"), ban = In("winners.ban"), csv = In("new.csv");
  LotteryStore& store = core->Store();
  EXPECT_STREQ(store.TargetFile(), "");
  core->SaveDataFile(dat.c_str());
  core->SaveDataFile(ban.c_str());
  core->SaveDataFile(csv.c_str());  // a new csv has no kind: refused, no file
  EXPECT_STREQ(store.TargetFile(), dat.c_str());
  EXPECT_STREQ(store.WinningFile(), ban.c_str());
  core->OpenDataFile(dat.c_str());
  EXPECT_EQ(core->TakeUsedFiles(), (std::vector<std::string>{dat, ban, dat}));
  EXPECT_TRUE(core->TakeUsedFiles().empty());

  core->SetWriteFault(1);  // a failed save names no file
  core->SaveDataFile(In("other.dat").c_str());
  EXPECT_STREQ(store.TargetFile(), dat.c_str());
  EXPECT_TRUE(core->TakeUsedFiles().empty());

  store.ClearTargets();
  EXPECT_STREQ(store.TargetFile(), "");
  EXPECT_STREQ(store.WinningFile(), ban.c_str());
  store.ClearWinningEntries();
  EXPECT_STREQ(store.WinningFile(), "");
}

}  // namespace
}  // namespace luckyscope
