#include "core/matching.h"

#include <cstring>

#include "core/text_util.h"

namespace luckyscope {

namespace {

constexpr char kStar[] = "*";

// The CP932 multiplication sign that a saved file shows for a ticket without hits.
constexpr char kNoHitMark[] = "\x81\x7E";

// Start of the first occurrence of `needle` (non-empty) in `text`, or null.
// An empty separator is never found: callers treat it as absent.
const char* FindText(const char* text, const char* needle) {
  if (needle[0] == '\0') return nullptr;
  return std::strstr(text, needle);
}

}  // namespace

int CountOccurrences(const char* text, const char* separator) {
  if (text == nullptr || separator == nullptr) return 0;
  const std::size_t sepLen = std::strlen(separator);
  int count = 0;
  for (const char* p = FindText(text, separator); p != nullptr; p = FindText(p + sepLen, separator)) {
    ++count;
  }
  return count;
}

int SplitField(const char* text, const char* separator, int index, char* out) {
  if (text == nullptr || text[0] == '\0') return -1;
  if (index < 1) return -2;
  if (separator == nullptr) separator = "";
  const std::size_t sepLen = std::strlen(separator);
  const char* start = text;
  for (int skipped = 1; skipped < index; ++skipped) {
    const char* hit = FindText(start, separator);
    if (hit == nullptr) {
      out[0] = '\0';
      return -3;
    }
    start = hit + sepLen;
  }
  const char* end = FindText(start, separator);
  const std::size_t n = end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
  std::memmove(out, start, n);
  out[n] = '\0';
  return 0;
}

int TrimBlanks(const char* source, char* out, unsigned char limit) {
  if (source == nullptr) {
    out[0] = '\0';
    return 0;
  }
  // Lead and trail bytes of double-byte characters are 0x40 and up, so a limit of 32
  // never eats half a character.
  auto blank = [limit](char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return b >= 0x01 && b <= limit;
  };
  std::size_t begin = 0;
  std::size_t end = std::strlen(source);
  while (begin < end && blank(source[begin])) ++begin;
  while (end > begin && blank(source[end - 1])) --end;
  std::memmove(out, source + begin, end - begin);  // out may be source itself
  out[end - begin] = '\0';
  return 0;
}

// Written straight from the matching rule and kept that way: the fast search is
// checked against it. The value is only read; the pattern is split into pieces held
// in fixed buffers, so a pattern is read up to 255 bytes (ticket patterns hold 15).
int MatchPattern(const char* value, const char* pattern, int& result) {
  result = -1;
  if (value == nullptr) value = "";
  char pat[kTextSize];
  CopyCut(pat, pattern);

  const int n = CountOccurrences(pat, kStar);
  if (n == 0) {
    if (std::strcmp(value, pat) == 0) result = 0;
    return 0;
  }

  if (n == 1) {
    char prefix[kTextSize];
    char suffix[kTextSize];
    SplitField(pat, kStar, 1, prefix);
    SplitField(pat, kStar, 2, suffix);
    const std::size_t valueLen = std::strlen(value);
    const std::size_t prefixLen = std::strlen(prefix);
    const std::size_t suffixLen = std::strlen(suffix);
    bool failed = false;
    if (prefixLen > 0 && std::strncmp(value, prefix, prefixLen) != 0) failed = true;
    if (suffixLen > 0 && (valueLen < suffixLen || std::memcmp(value + valueLen - suffixLen, suffix, suffixLen) != 0)) {
      failed = true;
    }
    if (!failed) result = 0;
    return 0;
  }

  // Two stars or more: each non-empty piece must occur at or after the search
  // position, which then moves one byte past where the piece starts.
  const char* position = value;
  for (int index = 1; index <= n + 1; ++index) {
    char piece[kTextSize];
    SplitField(pat, kStar, index, piece);
    if (piece[0] == '\0') continue;
    const char* found = std::strstr(position, piece);
    if (found == nullptr) return 0;
    position = found + 1;
  }
  result = 0;
  return 0;
}

namespace {

// A field of the store read as text: bytes up to the terminator, at most 15 of them,
// so that a field someone left unterminated never runs into the next one.
struct FieldText {
  char text[kFieldSize];
  explicit FieldText(const char (&field)[kFieldSize]) { CopyCut(text, field); }
};

}  // namespace

int RunSearchReference(LotteryStore& store) {
  SearchTarget* targets = store.TargetSlots();
  const WinningEntry* entries = store.WinningSlots();
  for (int i = 0; i < store.TargetCount(); ++i) {
    targets[i].hit = 0;
    targets[i].hitMask = 0;
  }
  for (int i = 0; i < store.TargetCount(); ++i) {
    SearchTarget& target = targets[i];
    const FieldText group(target.group);
    const FieldText number(target.number);
    for (int j = 0; j < store.WinningCount(); ++j) {
      const WinningEntry& entry = entries[j];
      for (int k = 0; k < ClampPairCount(entry.pairCount); ++k) {
        const FieldText pairGroup(entry.pairs[k].group);
        int result = -1;
        MatchPattern(group.text, pairGroup.text, result);
        if (result != 0) continue;
        const FieldText pairNumber(entry.pairs[k].number);
        MatchPattern(number.text, pairNumber.text, result);
        if (result != 0) continue;
        target.hit = 1;
        target.hitMask |= std::uint32_t{1} << j;
      }
    }
  }
  return 0;
}

int HitText(const LotteryStore& store, int index, int forFile, char (&out)[kTextSize]) {
  out[0] = '\0';
  if (index < 0 || index >= kMaxTargets) return -1;
  const int winningCount = store.WinningCount();
  if (winningCount <= 0) return -1;

  const std::uint32_t mask = store.TargetSlots()[index].hitMask;
  int hits = 0;
  for (int j = 0; j < winningCount; ++j) {
    if (mask & (std::uint32_t{1} << j)) ++hits;
  }
  if (hits == 0) {
    if (forFile != 0) std::memcpy(out, kNoHitMark, sizeof kNoHitMark);
    return 0;
  }

  // Each title gets an equal share of the 255 bytes, less one for its separating space.
  const std::size_t width = static_cast<std::size_t>(kTextSize / hits - 2);
  std::size_t length = 0;
  for (int j = 0; j < winningCount; ++j) {
    if (!(mask & (std::uint32_t{1} << j))) continue;
    const char* title = store.WinningSlots()[j].title;
    const std::size_t n = strnlen(title, width);
    std::memcpy(out + length, title, n);
    length += n;
    out[length++] = ' ';
  }
  out[length - 1] = '\0';  // the last separating space goes
  return 0;
}

}  // namespace luckyscope
