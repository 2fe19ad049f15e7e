// The search at full load (10,000 tickets, 32 winning entries of 32 pairs), fast
// against literal, on two loads:
//  - NewYear: six-digit numbers in groups 01..99; pairs are exact numbers and `*`
//    suffixes of 2 to 5 digits, with the group `*` or exact, as a New Year lottery
//    publishes them;
//  - ManyStars: the same tickets against patterns with several stars, on the number
//    and sometimes on the group, which no index narrows down well.
// Run: build/default/tests/bench/bench_search (the median rows are the figures).

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "core/matching.h"
#include "core/search.h"
#include "tests/core/store_builders.h"

namespace luckyscope {
namespace {

enum class Load { NewYear, ManyStars };

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

std::unique_ptr<LotteryStore> MakeStore(Load load) {
  auto store = std::make_unique<LotteryStore>();
  store->ClearTargets();
  store->ClearWinningEntries();
  std::mt19937 rng(2024);
  for (int i = 0; i < kMaxTargets; ++i) {
    SearchTarget& t = store->TargetSlots()[i];
    SetField(t.name, "ticket " + std::to_string(i + 1));
    SetField(t.group, Group(rng));
    SetField(t.number, Digits(rng, 6));
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

BENCHMARK_CAPTURE(BM_Search, NewYear_Fast, Load::NewYear, &RunSearch)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Search, NewYear_Reference, Load::NewYear, &RunSearchReference)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Search, ManyStars_Fast, Load::ManyStars, &RunSearch)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Search, ManyStars_Reference, Load::ManyStars, &RunSearchReference)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace luckyscope

BENCHMARK_MAIN();
