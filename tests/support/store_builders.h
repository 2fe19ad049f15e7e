#pragma once
// Builders for filling a store in tests. The store is about 3 MB: tests keep it on the heap.

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "core/lottery_store.h"

namespace luckyscope::testing {

// Zeroes the field and copies text into it, cut to the width less the terminator.
template <std::size_t N>
void SetField(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N - 1);
}

inline std::unique_ptr<LotteryStore> NewStore() {
  auto store = std::make_unique<LotteryStore>();
  store->ClearTargets();
  return store;
}

inline SearchTarget Target(const std::string& name, const std::string& group, const std::string& number) {
  SearchTarget t{};
  SetField(t.name, name);
  SetField(t.group, group);
  SetField(t.number, number);
  return t;
}

inline WinningEntry Entry(const std::string& title, std::initializer_list<std::pair<std::string, std::string>> pairs) {
  WinningEntry e{};
  SetField(e.title, title);
  for (const auto& [group, number] : pairs) {
    SetField(e.pairs[e.pairCount].group, group);
    SetField(e.pairs[e.pairCount++].number, number);
  }
  return e;
}

// Puts a ticket or a winning entry after the last one of the store.
inline void AppendTarget(LotteryStore& store, const SearchTarget& target) {
  const int n = store.TargetCount() + 1;
  store.PutTarget(n, target);
  store.SetTargetCount(n);
}
inline void AppendEntry(LotteryStore& store, const WinningEntry& entry) {
  const int n = store.WinningCount() + 1;
  store.PutWinningEntry(n, entry);
  store.SetWinningCount(n);
}

}  // namespace luckyscope::testing
