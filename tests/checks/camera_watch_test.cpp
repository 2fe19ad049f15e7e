// When the camera check judges a card: reads fed in one after another, with the number
// each should give.

#include "checks/camera_watch.h"

#include <gtest/gtest.h>

namespace luckyscope {
namespace {

TEST(CardWatcherTest, TwoAgreeingReadsInARowAndNoRepeatWhileInSight) {
  struct Read {
    double at;
    std::vector<std::string> agreed;
    std::string judged;
  };
  const std::vector<std::vector<Read>> runs = {
      // Once on a blurred frame: nothing; twice in a row: judged; held on: not again.
      {{0.0, {"111111"}, ""}, {0.2, {"111111"}, "111111"}, {0.4, {"111111"}, ""}, {2.0, {"111111"}, ""}},
      // A read without it, or with another number, breaks the run.
      {{0.0, {"111111"}, ""}, {0.2, {}, ""}, {0.4, {"111111"}, ""}, {0.6, {"222222"}, ""}, {0.8, {"111111"}, ""}},
      // Two numbers on one frame tell nothing; the same one twice is one.
      {{0.0, {"111111", "222222"}, ""}, {0.2, {"111111", "222222"}, ""}, {0.4, {"111111", "111111"}, ""},
       {0.6, {"111111"}, "111111"}},
      // Reads too far apart are not in a row.
      {{0.0, {"111111"}, ""}, {1.6, {"111111"}, ""}, {1.8, {"111111"}, "111111"}},
      // Another card in between, or a pause out of sight: the same number is judged again.
      {{0.0, {"111111"}, ""}, {0.2, {"111111"}, "111111"}, {0.4, {"222222"}, ""}, {0.6, {"222222"}, "222222"},
       {0.8, {"111111"}, ""}, {1.0, {"111111"}, "111111"}, {3.4, {"111111"}, ""}, {3.6, {"111111"}, "111111"}},
  };
  for (std::size_t r = 0; r < runs.size(); ++r) {
    CardWatcher watcher;
    for (const Read& read : runs[r]) {
      EXPECT_EQ(watcher.Feed(read.at, read.agreed), read.judged) << "run " << r << " at " << read.at;
    }
  }
}

}  // namespace
}  // namespace luckyscope
