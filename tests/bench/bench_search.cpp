// The search at full load (10,000 tickets, 32 winning entries of 32 pairs), fast
// against literal and against a plain brute-force matcher, on three loads:
//  - NewYear: six-digit numbers in groups 01..99; pairs are exact numbers and `*`
//    suffixes of 2 to 5 digits, with the group `*` or exact, as a New Year lottery
//    publishes them;
//  - ManyStars: the same tickets against patterns with several stars, on the number
//    and sometimes on the group, which no index narrows down well;
//  - TwoLetters: fifteen-byte numbers made of two digits against chains of two to
//    five pieces of them, on which the byte filters prune nothing.
// Compare the fast search with BruteForce on the same load in the same run.
// Run: build/default/tests/bench/bench_search (the median rows are the figures).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/matching.h"
#include "core/search.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

enum class Load { NewYear, ManyStars, TwoLetters };

using testing::SetField;

std::string Digits(std::mt19937& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

std::string Group(std::mt19937& rng) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", 1 + static_cast<unsigned>(rng() % 99));
  return text;
}

// Several stars anywhere, around pieces of one to three digits.
std::string StarPattern(std::mt19937& rng) {
  std::string s = rng() % 2 ? "*" : "";
  const int pieces = 2 + static_cast<int>(rng() % 3);
  for (int p = 0; p < pieces; ++p) {
    s += Digits(rng, 1 + static_cast<int>(rng() % 3));
    if (p + 1 < pieces || rng() % 2) s += '*';
  }
  return s;
}

std::string TwoDigits(std::mt19937& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += rng() % 2 ? '1' : '2';
  return s;
}

// Two to five pieces of two to five of the two digits.
std::string TwoDigitChain(std::mt19937& rng) {
  std::string s = rng() % 2 ? "*" : "";
  const int pieces = 2 + static_cast<int>(rng() % 4);
  for (int p = 0; p < pieces; ++p) {
    s += TwoDigits(rng, 2 + static_cast<int>(rng() % 4));
    if (p + 1 < pieces || rng() % 2) s += '*';
  }
  return s;
}

std::unique_ptr<LotteryStore> MakeStore(Load load) {
  auto store = std::make_unique<LotteryStore>();
  store->ClearTargets();
  store->ClearWinningEntries();
  std::mt19937 rng(2024);
  for (int i = 0; i < kMaxTargets; ++i) {
    SearchTarget& t = store->TargetSlots()[i];
    SetField(t.name, "ticket " + std::to_string(i + 1));
    SetField(t.group, Group(rng));
    SetField(t.number, load == Load::TwoLetters ? TwoDigits(rng, 15) : Digits(rng, 6));
  }
  store->SetTargetCount(kMaxTargets);
  for (int j = 0; j < kMaxWinningEntries; ++j) {
    WinningEntry& e = store->WinningSlots()[j];
    SetField(e.title, std::to_string(j + 1) + "等");
    e.pairCount = kMaxPairs;
    for (int k = 0; k < kMaxPairs; ++k) {
      WinningPair& p = e.pairs[k];
      if (load == Load::NewYear) {
        const bool anyGroup = k % 2 == 0;
        SetField(p.group, anyGroup ? "*" : Group(rng));
        SetField(p.number, k % 4 < 2 ? Digits(rng, 6) : "*" + Digits(rng, 2 + (k / 4) % 4));
      } else if (load == Load::TwoLetters) {
        SetField(p.group, rng() % 4 == 0 ? Group(rng) : "*");
        SetField(p.number, TwoDigitChain(rng));
      } else {
        const unsigned g = rng() % 4;
        SetField(p.group, g == 0 ? "*" : g == 1 ? Group(rng) : g == 2 ? "*" + Digits(rng, 1) + "*" : "**");
        SetField(p.number, StarPattern(rng));
      }
    }
  }
  store->SetWinningCount(kMaxWinningEntries);
  return store;
}

// The baseline: every ticket against every pair of every entry until one hits, with
// each pattern split at its stars once, before the search.
class PlainPattern {
 public:
  explicit PlainPattern(const char* pattern) : text_(pattern, strnlen(pattern, kFieldSize - 1)) {
    std::size_t from = 0;
    for (std::size_t star = text_.find('*'); star != std::string::npos; star = text_.find('*', from)) {
      pieces_.push_back(text_.substr(from, star - from));
      from = star + 1;
    }
    pieces_.push_back(text_.substr(from));
  }

  bool Matches(std::string_view value) const {
    if (pieces_.size() == 1) return value == text_;
    if (pieces_.size() == 2) {
      const std::string& head = pieces_[0];
      const std::string& tail = pieces_[1];
      return value.starts_with(head) && value.ends_with(tail);
    }
    std::size_t position = 0;
    for (const std::string& piece : pieces_) {
      if (piece.empty()) continue;
      const std::size_t found = value.find(piece, position);
      if (found == std::string_view::npos) return false;
      position = found + 1;
    }
    return true;
  }

 private:
  std::string text_;
  std::vector<std::string> pieces_;
};

int BruteForceSearch(LotteryStore& store) {
  struct Pair {
    PlainPattern group;
    PlainPattern number;
  };
  std::vector<std::vector<Pair>> entries;
  for (int j = 0; j < store.WinningCount(); ++j) {
    const WinningEntry& e = store.WinningSlots()[j];
    entries.emplace_back();
    for (int k = 0; k < std::clamp(e.pairCount, 0, kMaxPairs); ++k) {
      entries.back().push_back({PlainPattern(e.pairs[k].group), PlainPattern(e.pairs[k].number)});
    }
  }
  for (int i = 0; i < store.TargetCount(); ++i) {
    SearchTarget& t = store.TargetSlots()[i];
    const std::string_view group(t.group, strnlen(t.group, kFieldSize - 1));
    const std::string_view number(t.number, strnlen(t.number, kFieldSize - 1));
    std::uint32_t mask = 0;
    for (std::size_t j = 0; j < entries.size(); ++j) {
      for (const Pair& pair : entries[j]) {
        if (pair.group.Matches(group) && pair.number.Matches(number)) {
          mask |= std::uint32_t{1} << j;
          break;
        }
      }
    }
    t.hitMask = mask;
    t.hit = mask != 0 ? 1 : 0;
  }
  return 0;
}

void BM_Search(benchmark::State& state, Load load, int (*search)(LotteryStore&)) {
  auto store = MakeStore(load);
  for (auto _ : state) {
    search(*store);
    benchmark::DoNotOptimize(store->TargetSlots()[0].hitMask);
  }
  int hits = 0;
  for (int i = 0; i < kMaxTargets; ++i) hits += store->TargetSlots()[i].hit;
  state.counters["tickets_hit"] = hits;
}

#define SEARCH_BENCHMARKS(load)                                                   \
  BENCHMARK_CAPTURE(BM_Search, load##_Fast, Load::load, &RunSearch)               \
      ->Unit(benchmark::kMillisecond)                                             \
      ->MinTime(0.2)                                                              \
      ->Repetitions(5)                                                            \
      ->ReportAggregatesOnly(true);                                               \
  BENCHMARK_CAPTURE(BM_Search, load##_BruteForce, Load::load, &BruteForceSearch)  \
      ->Unit(benchmark::kMillisecond)                                             \
      ->MinTime(0.2)                                                              \
      ->Repetitions(5)                                                            \
      ->ReportAggregatesOnly(true);                                               \
  BENCHMARK_CAPTURE(BM_Search, load##_Reference, Load::load, &RunSearchReference) \
      ->Unit(benchmark::kMillisecond)                                             \
      ->Iterations(1)                                                             \
      ->Repetitions(3)                                                            \
      ->ReportAggregatesOnly(true)

SEARCH_BENCHMARKS(NewYear);
SEARCH_BENCHMARKS(ManyStars);
SEARCH_BENCHMARKS(TwoLetters);

}  // namespace
}  // namespace luckyscope

BENCHMARK_MAIN();
