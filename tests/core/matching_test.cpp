#include "core/matching.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/core/match_cases.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

bool Match(const std::string& value, const std::string& pattern) {
  int result = 7;
  EXPECT_EQ(MatchPattern(value.c_str(), pattern.c_str(), result), 0);
  return result == 0;
}

TEST(MatchPatternTest, WorkedCasesAndStarRules) {
  for (const auto& c : testing::kWorkedCases) {
    EXPECT_EQ(Match(c.value, c.pattern), c.match) << c.value << " ~ " << c.pattern;
  }
  EXPECT_FALSE(Match("0123456", "1*6"));   // one star anchors both ends
  EXPECT_TRUE(Match("0123456", "1*3*5"));  // two stars anchor neither
  EXPECT_FALSE(Match("1234", "*34*12*"));  // but keep the order
  EXPECT_TRUE(Match("anything", "**"));
  EXPECT_TRUE(Match("\x82\x50\x82\x51", "*\x82\x51"));
  // Texts beyond the 15 bytes of a field are still read safely.
  const std::string longValue(300, '1');
  EXPECT_TRUE(Match(longValue, std::string(150, '1') + "*" + std::string(104, '1')));
  EXPECT_TRUE(Match(longValue, "*1*" + std::string(20, '1') + "*"));
}

TEST(TextOpsTest, TrimBlanksSplitFieldCountOccurrences) {
  char out[32];
  TrimBlanks("  12 34\r\n", out, 32);
  EXPECT_STREQ(out, "12 34");
  TrimBlanks(" \x82\x4F\x82\x50\t", out, 32);
  EXPECT_STREQ(out, "\x82\x4F\x82\x50");
  TrimBlanks("    ", out, 32);
  EXPECT_STREQ(out, "");
  TrimBlanks("\x90\xA0\x90", out, 0x90);  // bytes compare unsigned
  EXPECT_STREQ(out, "\xA0");

  EXPECT_EQ(SplitField("a*b", "*", 3, out), -3);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(SplitField("x, yy, z", ", ", 2, out), 0);
  EXPECT_STREQ(out, "yy");
  EXPECT_EQ(SplitField("a*", "*", 2, out), 0);
  EXPECT_STREQ(out, "");
  std::strcpy(out, "kept");
  EXPECT_EQ(SplitField("", "*", 1, out), -1);
  EXPECT_EQ(SplitField("a*b", "*", 0, out), -2);
  EXPECT_STREQ(out, "kept");
  EXPECT_EQ(SplitField("ab", "", 2, out), -3);  // an empty separator is never found

  EXPECT_EQ(CountOccurrences("aaaaa", "aa"), 2);
  EXPECT_EQ(CountOccurrences("abc", ""), 0);
}

TEST(HitTextTest, EmptyCasesMarkAndWidths) {
  auto store = testing::NewStore();
  char out[kTextSize];
  auto text = [&](int forFile) {
    EXPECT_EQ(HitText(*store, 0, forFile, out), 0);
    return std::string(out);
  };
  auto setEntries = [&](const std::string& title, int count) {
    for (int j = 0; j < count; ++j) store->PutWinningEntry(j + 1, testing::Entry(title, {}));
    store->SetWinningCount(count);
  };
  SearchTarget& target = store->TargetSlots()[0];
  target.hitMask = 0b100;
  EXPECT_EQ(HitText(*store, 0, 1, out), -1);  // no entries
  EXPECT_STREQ(out, "");
  setEntries("t", 2);
  EXPECT_EQ(HitText(*store, kMaxTargets, 0, out), -1);
  EXPECT_EQ(text(0), "");  // the bit beyond the count is ignored
  EXPECT_EQ(text(1), "\x81\x7E");

  setEntries(std::string(200, 't'), 2);
  target.hitMask = 0b11;
  EXPECT_EQ(text(0), std::string(126, 't') + " " + std::string(126, 't'));
  setEntries(std::string(255, 'u'), 32);
  target.hitMask = 1;
  EXPECT_EQ(text(0), std::string(254, 'u'));
  target.hitMask = 0b10101;
  EXPECT_EQ(text(0).size(), 3u * 83 + 2);
  target.hitMask = 0xFFFFFFFFu;
  EXPECT_EQ(text(1).substr(0, 14), "uuuuuu uuuuuu ");
  EXPECT_EQ(text(1).size(), 32u * 7 - 1);
}

}  // namespace
}  // namespace luckyscope
