// Wildcard matching on any values and patterns: MatchPattern answers 0 or -1 and
// never reads past its texts, and the fast search marks exactly the tickets that the
// literal matching marks.
//
// Input: lines; the first up to 8 are ticket numbers, the rest winning patterns, spread
// over two winning entries. Texts longer than 15 bytes are cut as the store cuts them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/matching.h"
#include "core/search.h"
#include "core/text_util.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

namespace {

std::vector<std::string> Lines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') {
      lines.emplace_back();
    } else if (c != '\0') {
      lines.back() += c;
    }
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2048) return 0;
  const std::vector<std::string> lines = Lines(data, size);

  // The literal matching on the whole texts, patterns up to its 255-byte reading.
  if (lines.size() >= 2) {
    int result = 7;
    Check(MatchPattern(lines[0].c_str(), lines[1].c_str(), result) == 0, "MatchPattern result");
    Check(result == 0 || result == -1, "match result other than 0 or -1");
  }

  static LotteryStore* fast = new LotteryStore();
  static LotteryStore* literal = new LotteryStore();
  const std::size_t tickets = std::min<std::size_t>(8, (lines.size() + 1) / 2);
  const std::size_t patterns = std::min<std::size_t>(64, lines.size() - tickets);
  for (LotteryStore* store : {fast, literal}) {
    store->ClearWinningEntries();
    for (std::size_t i = 0; i < tickets; ++i) {
      SearchTarget& t = store->TargetSlots()[i];
      std::memset(&t, 0, sizeof t);
      CopyCut(t.group, "1");
      CopyCut(t.number, lines[i].c_str());
    }
    store->SetTargetCount(static_cast<int>(tickets));
    for (std::size_t p = 0; p < patterns; ++p) {
      WinningEntry& e = store->WinningSlots()[p % 2];
      WinningPair& pair = e.pairs[e.pairCount++];
      // Odd patterns also test the group, so that both fields go through the search.
      CopyCut(pair.group, p % 4 == 3 ? lines[tickets + p].c_str() : "*");
      CopyCut(pair.number, lines[tickets + p].c_str());
    }
    store->SetWinningCount(patterns == 0 ? 0 : patterns == 1 ? 1 : 2);
  }
  RunSearch(*fast);
  RunSearchReference(*literal);
  for (std::size_t i = 0; i < tickets; ++i) {
    const SearchTarget& a = fast->TargetSlots()[i];
    const SearchTarget& b = literal->TargetSlots()[i];
    Check(a.hit == b.hit && a.hitMask == b.hitMask, "fast search differs from the literal matching");
  }
  return 0;
}
