#include "core/search.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/matching.h"
#include "tests/core/match_cases.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

using testing::Entry;
using testing::SetField;
using testing::Target;

// Each test runs on the fast search and on the literal one.
class SearchTest : public ::testing::TestWithParam<int (*)(LotteryStore&)> {
 protected:
  void Fill(std::initializer_list<SearchTarget> targets, std::initializer_list<WinningEntry> entries) {
    int r = 0;
    for (const SearchTarget& t : targets) store_->PutTarget(++r, t);
    store_->SetTargetCount(r);
    r = 0;
    for (const WinningEntry& e : entries) store_->PutWinningEntry(++r, e);
    store_->SetWinningCount(r);
  }
  std::uint32_t Mask(int index) const { return store_->TargetSlots()[index].hitMask; }
  std::unique_ptr<LotteryStore> store_ = testing::NewStore();
};

TEST_P(SearchTest, GroupsAndEntryBits) {
  Fill({Target("a", "01", "123456"), Target("b", "", "993456"), Target("c", "02", "123457")},
       {Entry("A", {{"*", "*3456"}}), Entry("B", {{"02", "123456"}, {"", "*"}}),
        Entry("C", {{"*", "*6"}, {"0*", "*56"}, {"01", "1*3*5"}})});
  EXPECT_EQ(GetParam()(*store_), 0);
  EXPECT_EQ(Mask(0), 0b101u);  // several pairs of C: one bit
  EXPECT_EQ(Mask(1), 0b111u);  // "*" takes the empty group, "" only the empty group
  EXPECT_EQ(Mask(2), 0u);
  EXPECT_EQ(store_->TargetSlots()[2].hit, 0);
  char text[kTextSize];
  EXPECT_EQ(HitText(*store_, 0, 0, text), 0);
  EXPECT_STREQ(text, "A C");
}

TEST_P(SearchTest, WorkedCasesOnNumberAndOnGroup) {
  int r = 0;
  for (const auto& c : testing::kWorkedCases) {
    const int j = r / 2;
    store_->PutTarget(++r, Target("n", "g", c.value));
    store_->PutTarget(++r, Target("g", c.value, "n"));
    store_->PutWinningEntry(j + 1, Entry("e", {{"g", c.pattern}, {c.pattern, "n"}}));
  }
  store_->SetTargetCount(r);
  store_->SetWinningCount(r / 2);
  GetParam()(*store_);
  for (int i = 0; i < r; ++i) {
    const auto& c = testing::kWorkedCases[i / 2];
    EXPECT_EQ((Mask(i) >> (i / 2)) & 1, c.match ? 1u : 0u) << c.value << " ~ " << c.pattern;
  }
}

INSTANTIATE_TEST_SUITE_P(, SearchTest, ::testing::Values(&RunSearch, &RunSearchReference),
                         [](const auto& param) { return std::string(param.index == 0 ? "Fast" : "Reference"); });

// Random stores in which matches are common: a few symbols (digits, double-byte
// bytes, stars), empty texts, full and unterminated fields, filled slots beyond the
// counts, out-of-range pair counts, and patterns made from the tickets' own texts.
class RandomStore {
 public:
  explicit RandomStore(unsigned seed) : rng_(seed) {}

  // Counts are random up to maxTargets, or exactly those given.
  void Fill(LotteryStore& store, int maxTargets, int fixedEntries = -1, int fixedPairs = -1) {
    std::memset(store.TargetSlots(), 0, sizeof(SearchTarget) * (filled_ + 1));
    static const std::string kPool = "123\x81\x40\xFC\x7E*";
    alphabet_ = kPool.substr(0, 2 + Below(4)) + (Below(3) == 0 ? kPool.substr(4) : "");
    const int count = fixedEntries >= 0 ? maxTargets : Below(maxTargets + 1);
    filled_ = std::min(kMaxTargets - 1, count + Below(3));
    for (int i = 0; i < filled_; ++i) {
      SearchTarget& t = store.TargetSlots()[i];
      Text(t.group, Below(4) == 0 ? 15 : 3);
      Text(t.number, Below(3) == 0 ? 15 : 6);
      if (Below(50) == 0) std::memset(t.number, '1', sizeof t.number);
      t.hit = static_cast<std::uint8_t>(rng_());
      t.hitMask = static_cast<std::uint32_t>(rng_());
    }
    store.SetTargetCount(count);
    const int entries = fixedEntries >= 0 ? fixedEntries : Below(6) == 0 ? 32 : Below(7);
    for (int j = 0; j < kMaxWinningEntries; ++j) {
      WinningEntry& e = store.WinningSlots()[j];
      const int pairs = fixedPairs >= 0 ? fixedPairs : Below(5) == 0 ? 32 : Below(7);
      for (int k = 0; k < kMaxPairs; ++k) {
        const bool unused = j >= entries || k >= pairs || filled_ == 0;
        const SearchTarget& from = store.TargetSlots()[unused ? 0 : Below(filled_)];
        // Entries and pairs beyond their counts would match everything if looked at.
        SetField(e.pairs[k].group, unused ? "*" : Pattern(from.group));
        SetField(e.pairs[k].number, unused ? "*" : Pattern(from.number));
      }
      e.pairCount = fixedPairs < 0 && Below(20) == 0 ? 40 : pairs;  // read as 32
    }
    store.SetWinningCount(entries);
  }

  int Filled() const { return filled_; }

 private:
  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  char Symbol() { return alphabet_[Below(static_cast<int>(alphabet_.size()))]; }

  void Text(char (&field)[kFieldSize], int maxLen) {
    std::string s;
    for (int n = Below(maxLen + 1); n > 0; --n) {
      const char c = Symbol();
      s += c == '*' && Below(4) != 0 ? '1' : c;  // stars in tickets, but rarely
    }
    SetField(field, s);
  }

  std::string Pattern(const char* ticket) {
    std::string s(ticket, strnlen(ticket, kFieldSize - 1));
    const int cut = Below(static_cast<int>(s.size()) + 1);
    switch (Below(6)) {
      case 0:
        return s;
      case 1:
        return Below(2) ? "*" + s.substr(cut) : s.substr(0, cut) + "*";
      case 2:
        for (char& c : s) c = Below(3) == 0 ? '*' : c;
        return s;
      case 3:
        for (int n = 1 + Below(4); n > 0; --n) s.insert(Below(static_cast<int>(s.size()) + 1), "*");
        return s;
      case 4:
        return Below(2) ? "*" : "";
      default:
        s.clear();
        for (int n = Below(9); n > 0; --n) s += Below(3) == 0 ? '*' : Symbol();
        return s;
    }
  }

  std::mt19937 rng_;
  std::string alphabet_;
  int filled_ = 0;
};

std::vector<std::pair<int, std::uint32_t>> Hits(const LotteryStore& store, int slots) {
  std::vector<std::pair<int, std::uint32_t>> out;
  for (int i = 0; i < slots; ++i) {
    out.emplace_back(store.TargetSlots()[i].hit, store.TargetSlots()[i].hitMask);
  }
  return out;
}

// Runs both searches from the same start and compares every filled slot and the one
// after; neither may touch the changed flags.
void ExpectSameResults(LotteryStore& store, int filled, unsigned seed) {
  const int slots = filled + 1;
  store.SetTargetsChanged(seed & 1);
  store.SetWinningChanged(seed & 2);
  const auto before = Hits(store, slots);
  RunSearchReference(store);
  const auto reference = Hits(store, slots);
  for (int i = 0; i < slots; ++i) {
    store.TargetSlots()[i].hit = static_cast<std::uint8_t>(before[i].first);
    store.TargetSlots()[i].hitMask = before[i].second;
  }
  RunSearch(store);
  EXPECT_EQ(store.TargetsChanged(), static_cast<int>(seed & 1));
  EXPECT_EQ(store.WinningChanged(), seed & 2 ? 1 : 0);
  const auto fast = Hits(store, slots);
  for (int i = 0; i < slots; ++i) {
    ASSERT_EQ(fast[i], reference[i]) << "seed " << seed << ", ticket " << i << " of " << store.TargetCount()
                                     << ": group '" << store.TargetSlots()[i].group << "', number '"
                                     << store.TargetSlots()[i].number << "'";
    if (i >= store.TargetCount()) {
      ASSERT_EQ(fast[i], before[i]) << "seed " << seed << ": ticket beyond the count touched";
    }
  }
}

TEST(SearchDifferentialTest, FastEqualsLiteralOnRandomStores) {
  auto store = testing::NewStore();
  for (unsigned seed = 1; seed <= 4000 && !HasFatalFailure(); ++seed) {
    RandomStore random(seed);
    random.Fill(*store, seed % 10 == 0 ? 300 : 40);
    ExpectSameResults(*store, random.Filled(), seed);
  }
}

TEST(SearchDifferentialTest, FastEqualsLiteralOnFullTables) {
  auto store = testing::NewStore();
  for (unsigned seed = 1; seed <= 3 && !HasFatalFailure(); ++seed) {
    RandomStore random(seed * 7919);
    random.Fill(*store, kMaxTargets - static_cast<int>(seed) + 1, 3, 6);
    ExpectSameResults(*store, random.Filled(), seed);
  }
}

// Stores on which the byte filters prune nothing: numbers over a two-letter alphabet,
// most at the full fifteen bytes, against chains of two to five pieces of the same
// letters, with exact texts, prefixes and suffixes of them beside; groups likewise,
// shorter. Every ticket holds every byte and byte pair a pattern asks for, so the
// search has to choose between matching each candidate and the bit sets, pair by pair.
class TwoLetterStore {
 public:
  explicit TwoLetterStore(unsigned seed) : rng_(seed) {}

  void Fill(LotteryStore& store, int count) {
    letters_ = Below(3) == 0 ? "\x81\x40" : Below(2) ? "12" : "ab";
    const int width = Below(6) == 0 ? 3 : 15;  // now and then no piece chain fits
    for (int i = 0; i < count + 1; ++i) {
      SearchTarget& t = store.TargetSlots()[i];
      SetField(t.group, Letters(Below(4) == 0 ? Below(16) : 2));
      SetField(t.number, Letters(Below(8) == 0 ? Below(width + 1) : width));
      t.hit = 0;
      t.hitMask = 0;
    }
    store.SetTargetCount(count);
    const int entries = 1 + Below(kMaxWinningEntries);
    for (int j = 0; j < kMaxWinningEntries; ++j) {
      WinningEntry& e = store.WinningSlots()[j];
      e.pairCount = j < entries ? 1 + Below(kMaxPairs) : 0;
      for (int k = 0; k < kMaxPairs; ++k) {
        SetField(e.pairs[k].group, Below(3) == 0 ? Pieces(2) : Below(2) ? "*" : OneStar(2));
        SetField(e.pairs[k].number, Below(5) == 0 ? OneStar(15) : Pieces(15));
      }
    }
    store.SetWinningCount(entries);
  }

 private:
  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::string Letters(int n) {
    std::string s;
    while (static_cast<int>(s.size()) < n) s += letters_[Below(2)];
    return s.substr(0, static_cast<std::size_t>(n));
  }
  // Two to five pieces of one to four letters, with or without stars at the ends.
  std::string Pieces(int width) {
    std::string s = Below(2) ? "*" : "";
    const int pieces = 2 + Below(4);
    for (int p = 0; p < pieces; ++p) {
      s += Letters(1 + Below(std::min(4, width)));
      if (p + 1 < pieces || Below(2)) s += Below(5) == 0 ? "**" : "*";
    }
    return s;
  }
  // An exact text, a prefix, a suffix or both, up to the field's width.
  std::string OneStar(int width) {
    switch (Below(4)) {
      case 0:
        return Letters(Below(width + 1));
      case 1:
        return Letters(Below(width)) + "*";
      case 2:
        return "*" + Letters(Below(width));
      default:
        return Letters(Below(4)) + "*" + Letters(Below(width));
    }
  }

  std::mt19937 rng_;
  std::string letters_;
};

TEST(SearchDifferentialTest, FastEqualsLiteralWhereTheFiltersPruneNothing) {
  auto store = testing::NewStore();
  for (unsigned seed = 1; seed <= 60 && !HasFatalFailure(); ++seed) {
    TwoLetterStore twoLetters(seed);
    const int count = seed <= 2 ? kMaxTargets - 1 - static_cast<int>(seed) : 1 + static_cast<int>(seed * 37 % 700);
    twoLetters.Fill(*store, count);
    ExpectSameResults(*store, count, seed);
  }
}

// Eight numbers of many distinct bytes, each held by a run of 500 tickets, against
// chains of two of a number's bytes: the filters leave at least that number's tickets,
// so the bit sets are chosen for most pairs, and they need more position rows than
// are kept at once, so the rows are dropped and built again along the way.
TEST(SearchDifferentialTest, FastEqualsLiteralWhenThePositionRowsOverflow) {
  auto store = testing::NewStore();
  std::mt19937 rng(77);
  std::vector<std::string> numbers(8);
  for (std::string& number : numbers) {
    while (number.size() < 15) {
      const char c = static_cast<char>(0x21 + rng() % 0xDE);
      if (c != '*') number += c;
    }
  }
  const int count = 4000;
  for (int i = 0; i <= count; ++i) store->TargetSlots()[i] = Target("", "", numbers[i / 500 % 8]);
  store->SetTargetCount(count);
  for (int j = 0; j < kMaxWinningEntries; ++j) {
    WinningEntry& e = store->WinningSlots()[j];
    e.pairCount = kMaxPairs;
    for (int k = 0; k < kMaxPairs; ++k) {
      const std::string& number = numbers[rng() % 8];
      const std::size_t first = rng() % 14;
      const std::size_t second = first + 1 + rng() % (14 - first);
      SetField(e.pairs[k].group, "*");
      SetField(e.pairs[k].number, "*" + number.substr(first, 1) + "*" + number.substr(second, 1) + "*");
    }
  }
  store->SetWinningCount(kMaxWinningEntries);
  ExpectSameResults(*store, count, 77);
}

}  // namespace
}  // namespace luckyscope
