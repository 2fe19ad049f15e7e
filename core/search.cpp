// The fast search. It gives every ticket exactly the hit flag and hit mask that the
// literal search (RunSearchReference) gives, but instead of matching every ticket
// against every pair it looks each pair's patterns over once and finds the tickets
// they can match in one of two ways, whichever costs less for that pair:
//  - through indexes built for this search. A pattern without a star is an exact
//    text, one star splits it into a prefix and a suffix (either may be empty, both
//    empty = any text), and two stars or more leave a chain of pieces. Tickets are
//    sorted by their texts read forwards and read backwards, so the tickets equal to
//    a text, or starting or ending with it, are one range found by binary search;
//    for chains of pieces, a bit set per byte and per (hashed) byte pair says which
//    tickets contain it. Each candidate is then matched in full. Of a pair's two
//    patterns the one with the smaller range gives the candidates;
//  - over all tickets at once, as bit sets: a bit set per position and byte says
//    which tickets hold that byte there (counted from the front, or from the back for
//    suffixes), so an exact text, prefix or suffix is the AND of a few of them, and a
//    chain of pieces is found piece by piece over the positions where each may start.
//    Its cost depends only on the number of tickets and the pattern's length.
// The candidates the indexes leave are counted before a pair is searched, so a
// pattern that the indexes narrow down badly (few distinct bytes, short pieces)
// never costs more than the bit sets.
// Pairs that ask the same (the same pair in several entries, or "*1*" and "**1") are
// searched once for all their entries. Hits found as bit sets stay bit sets, one per
// entry, until they are folded into the masks at the end. All working space is fixed
// and owned by this file: a search allocates nothing. Like the store, it is for the
// one user-interface thread.

#include "core/search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace luckyscope {

namespace {

constexpr int kFieldBytes = kFieldSize - 1;  // a group or number holds 15 bytes
constexpr int kWords = (kMaxTargets + 63) / 64;
constexpr int kByteRows = 256;
constexpr int kBytePairRows = 256;
constexpr int kFilterRows = kByteRows + kBytePairRows;
constexpr int kMaxPieces = (kFieldBytes + 1) / 2;  // "a*a*a*...": 8 non-empty pieces
constexpr int kMaxFilterRows = 2 * kFieldBytes;
constexpr int kMaxPairsPerSearch = kMaxWinningEntries * kMaxPairs;
constexpr int kPairSlots = 2 * kMaxPairsPerSearch;  // open addressing, at most half full
constexpr int kCanonicalSize = 24;                  // a pattern in its canonical spelling, zero-padded
// Position rows kept at once per field. A pattern needs at most 15 x 15 of them (a
// chain of one-byte pieces at every position); when a pattern's rows do not fit, the
// rows built so far are dropped.
constexpr int kPositionRows = 1024;
constexpr int kMaxPositionRowsPerPattern = kFieldBytes * kFieldBytes;
static_assert(kMaxPositionRowsPerPattern <= kPositionRows);

// Costs, in units of one word operation of a bit-set loop, that choose between the
// indexed path and the bit sets (measured on the search benchmark).
constexpr int kCheckCost = 8;               // a candidate checked against exact, prefix or suffix
constexpr int kPiecesCheckCost = 48;        // a candidate matched against a chain of pieces
constexpr int kTicketsPerRowBuildCost = 2;  // building one position row, per ticket

// The 16 bytes of a zero-padded field as a number, byte 0 most significant, so that
// numeric order is the byte-wise order of the texts and a prefix is a masked compare.
struct Key {
  std::uint64_t hi;
  std::uint64_t lo;
};

bool Less(const Key& a, const Key& b) { return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo); }
bool Same(const Key& a, const Key& b) { return a.hi == b.hi && a.lo == b.lo; }
Key Masked(const Key& k, const Key& mask) { return {k.hi & mask.hi, k.lo & mask.lo}; }

// Keys are built from 64-bit loads of the texts, which assumes the byte order of the
// machines this runs on.
static_assert(std::endian::native == std::endian::little);

std::uint64_t LoadBigEndian(const unsigned char* bytes) {
  std::uint64_t v;
  std::memcpy(&v, bytes, sizeof v);
  return __builtin_bswap64(v);
}

Key LoadKey(const unsigned char (&bytes)[kFieldSize]) { return {LoadBigEndian(bytes), LoadBigEndian(bytes + 8)}; }

std::uint64_t LoadLittleEndian(const void* bytes) {
  std::uint64_t v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

// Bit 7 of every zero byte of x is set (and possibly of bytes above the lowest one).
std::uint64_t ZeroBytes(std::uint64_t x) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  return (x - kOnes) & ~x & (kOnes << 7);
}

std::uint64_t LowBytes(int n) { return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1; }

// Key of `len` bytes read backwards.
Key LoadReversedKey(const unsigned char* bytes, int len) {
  unsigned char reversed[kFieldSize] = {};
  for (int p = 0; p < len; ++p) reversed[p] = bytes[len - 1 - p];
  return LoadKey(reversed);
}

// Mask that keeps the first `len` bytes of a key.
Key PrefixMask(int len) {
  auto bytes = [](int n) -> std::uint64_t {
    return n <= 0 ? 0 : n >= 8 ? ~std::uint64_t{0} : ~std::uint64_t{0} << (64 - 8 * n);
  };
  return {bytes(len), bytes(len - 8)};
}

int BytePairRow(unsigned char a, unsigned char b) {
  // Keeps the hundred digit pairs apart, which is what ticket numbers are made of.
  return kByteRows + (((a << 4) + b) & (kBytePairRows - 1));
}

// Tickets sorted by one of their keys.
struct SortedIndex {
  bool built;
  Key keys[kMaxTargets];
  std::int32_t order[kMaxTargets];
};

struct Range {
  int begin;
  int end;
  int Size() const { return end - begin; }
};

// One field (group or number) of every ticket in use, as this search sees it.
struct FieldTable {
  unsigned char text[kMaxTargets][kFieldSize];  // zero-padded, at most 15 bytes
  std::uint8_t len[kMaxTargets];
  Key forward[kMaxTargets];
  Key backward[kMaxTargets];
  SortedIndex byForward;
  SortedIndex byBackward;
  int longest;  // bytes of the longest text: the keys' later bytes are all zero
  bool filtersBuilt;
  std::uint64_t filters[kFilterRows * kWords];  // row r: words [r*stride, (r+1)*stride)
  // Position rows: the tickets whose byte p, counted from the front (0) or from the
  // back (1), is b; row positionRowOf[d][p][b] of positionRows, -1 until built.
  std::int16_t positionRowOf[2][kFieldSize][256];
  int positionRowCount;
  std::uint64_t positionRows[kPositionRows * kWords];
  // Byte p of every ticket, counted from the front (0) or from the back (1), side by
  // side: what the position rows are built from, eight tickets at a time.
  bool columnBuilt[2][kFieldSize];
  unsigned char columns[2][kFieldSize][kWords * 64];
};

enum class Kind : std::uint8_t { Any, Exact, Prefix, Suffix, PrefixSuffix, Pieces };

// What one pattern of a pair asks of a field. Patterns that ask the same have the
// same canonical spelling: the text itself for none or one star ("*" for any text),
// and the pieces between single stars, with a star at each end, for more stars.
struct PatternPlan {
  Kind kind;
  char canonical[kCanonicalSize];
  Key head;  // forward key of the prefix
  Key headMask;
  Key tail;  // backward key of the suffix, or of the whole text for Exact
  Key tailMask;
  int textLen;
  int headLen;
  int tailLen;
  int pieceCount;
  std::uint8_t pieceStart[kMaxPieces];
  std::uint8_t pieceLen[kMaxPieces];
  int filterRowCount;
  std::int16_t filterRows[kMaxFilterRows];
  unsigned char text[kFieldSize];
};

struct SortItem {
  Key key;
  std::int32_t index;
};

// A pair as the search sees it, and the entries (one bit each) that hold it.
struct DistinctPair {
  PatternPlan group;
  PatternPlan number;
  std::uint32_t entries;
};

struct Scratch {
  FieldTable fields[2];  // 0 group, 1 number
  std::uint32_t masks[kMaxTargets];
  std::uint64_t candidates[kWords];
  // Hits found as bit sets over the tickets, one per entry, and the entries that
  // every ticket hits; folded into the masks at the end.
  std::uint64_t entryHits[kMaxWinningEntries][kWords];
  std::uint32_t everyone;
  // What the pairs searched through the indexes cost beyond what their bit sets would
  // have cost had their rows been built: once it outweighs building them, they are.
  std::int64_t regret;
  DistinctPair pairs[kMaxPairsPerSearch];
  std::int16_t pairSlots[kPairSlots];
  int pairCount;
  // The chain of pieces as bit sets: reach[s] holds the tickets in which the pieces
  // so far can be placed with the last one starting before position s.
  std::uint64_t reach[2][kFieldSize + 1][kWords];
  std::uint64_t pairSet[kWords];
  SortItem sortA[kMaxTargets];
  SortItem sortB[kMaxTargets];
  std::uint32_t counts[kFieldSize][256];
  int count;   // tickets in use
  int stride;  // bit-set words for that many tickets
};

Scratch g_scratch;

void ResetPositionRows(FieldTable& table) {
  std::memset(table.positionRowOf, 0xFF, sizeof table.positionRowOf);
  table.positionRowCount = 0;
}

// Reads every ticket's field as two 64-bit words (byte 0 lowest): the text up to its
// terminator, at most 15 bytes, zero-padded. Read forwards it is the byte-swapped
// words; read backwards it is the 128-bit value shifted up by the padding.
void PrepareField(FieldTable& table, const SearchTarget* targets, int count, bool numberField) {
  int longest = 0;
  for (int i = 0; i < count; ++i) {
    const char* field = numberField ? targets[i].number : targets[i].group;
    std::uint64_t low = LoadLittleEndian(field);
    std::uint64_t high = LoadLittleEndian(field + 8) & LowBytes(7);  // byte 15: never text
    const std::uint64_t zerosLow = ZeroBytes(low);
    const int len = zerosLow != 0 ? std::countr_zero(zerosLow) / 8 : 8 + std::countr_zero(ZeroBytes(high)) / 8;
    if (len < 8) {
      low &= LowBytes(len);
      high = 0;
    } else {
      high &= LowBytes(len - 8);
    }
    unsigned char(&text)[kFieldSize] = table.text[i];
    std::memcpy(text, &low, 8);
    std::memcpy(text + 8, &high, 8);
    table.len[i] = static_cast<std::uint8_t>(len);
    table.forward[i] = {__builtin_bswap64(low), __builtin_bswap64(high)};
    const int shift = 8 * (kFieldSize - len);  // 8..128 bits
    if (len == 0) {
      table.backward[i] = {0, 0};
    } else if (shift >= 64) {
      table.backward[i] = {low << (shift - 64), 0};
    } else {
      table.backward[i] = {(high << shift) | (low >> (64 - shift)), low << shift};
    }
    longest = std::max(longest, len);
  }
  table.longest = longest;
  table.byForward.built = false;
  table.byBackward.built = false;
  table.filtersBuilt = false;
  ResetPositionRows(table);
  std::memset(table.columnBuilt, 0, sizeof table.columnBuilt);
}

int KeyByte(const Key& k, int p) {
  const std::uint64_t half = p < 8 ? k.hi : k.lo;
  return static_cast<int>((half >> (56 - 8 * (p & 7))) & 0xFF);
}

// Least significant byte first, each pass a stable counting sort. Only the first
// `longest` bytes of a key can differ, and a byte position where every key holds
// the same byte needs no pass.
void BuildIndex(SortedIndex& index, const Key* keys, int count, int longest) {
  Scratch& s = g_scratch;
  std::memset(s.counts, 0, sizeof s.counts);
  for (int i = 0; i < count; ++i) {
    s.sortA[i] = {keys[i], i};
    for (int p = 0; p < longest; ++p) ++s.counts[p][KeyByte(keys[i], p)];
  }
  SortItem* from = s.sortA;
  SortItem* to = s.sortB;
  for (int p = longest - 1; p >= 0 && count > 0; --p) {
    std::uint32_t* c = s.counts[p];
    if (c[KeyByte(from[0].key, p)] == static_cast<std::uint32_t>(count)) continue;
    std::uint32_t offset = 0;
    for (int b = 0; b < 256; ++b) {
      const std::uint32_t n = c[b];
      c[b] = offset;
      offset += n;
    }
    for (int i = 0; i < count; ++i) to[c[KeyByte(from[i].key, p)]++] = from[i];
    std::swap(from, to);
  }
  for (int i = 0; i < count; ++i) {
    index.keys[i] = from[i].key;
    index.order[i] = from[i].index;
  }
  index.built = true;
}

const SortedIndex& ForwardIndex(FieldTable& table) {
  if (!table.byForward.built) {
    BuildIndex(table.byForward, table.forward, g_scratch.count, table.longest);
  }
  return table.byForward;
}

const SortedIndex& BackwardIndex(FieldTable& table) {
  if (!table.byBackward.built) {
    BuildIndex(table.byBackward, table.backward, g_scratch.count, table.longest);
  }
  return table.byBackward;
}

// The tickets whose masked key equals `key`: one run of the sorted keys.
Range FindRange(const SortedIndex& index, const Key& key, const Key& mask) {
  const Key* first = index.keys;
  const Key* last = index.keys + g_scratch.count;
  const Key* lo = std::partition_point(first, last, [&](const Key& k) { return Less(Masked(k, mask), key); });
  const Key* hi = std::partition_point(lo, last, [&](const Key& k) { return !Less(key, Masked(k, mask)); });
  return {static_cast<int>(lo - first), static_cast<int>(hi - first)};
}

void BuildFilters(FieldTable& table) {
  const int count = g_scratch.count;
  const int stride = g_scratch.stride;
  std::memset(table.filters, 0, sizeof(std::uint64_t) * kFilterRows * stride);
  for (int i = 0; i < count; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    const int word = i >> 6;
    const unsigned char* text = table.text[i];
    for (int p = 0; p < table.len[i]; ++p) {
      table.filters[text[p] * stride + word] |= bit;
      if (p + 1 < table.len[i]) {
        table.filters[BytePairRow(text[p], text[p + 1]) * stride + word] |= bit;
      }
    }
  }
  table.filtersBuilt = true;
}

void AddFilterRow(PatternPlan& plan, int row) {
  for (int r = 0; r < plan.filterRowCount; ++r) {
    if (plan.filterRows[r] == row) return;
  }
  plan.filterRows[plan.filterRowCount++] = static_cast<std::int16_t>(row);
}

void AnalysePattern(const char (&field)[kFieldSize], PatternPlan& plan) {
  const int len = static_cast<int>(strnlen(field, kFieldBytes));
  std::memset(plan.text, 0, sizeof plan.text);
  std::memcpy(plan.text, field, static_cast<std::size_t>(len));
  const unsigned char* t = plan.text;
  int stars = 0;
  int firstStar = -1;
  for (int p = 0; p < len; ++p) {
    if (t[p] == '*') {
      if (stars++ == 0) firstStar = p;
    }
  }
  plan.textLen = len;
  plan.pieceCount = 0;
  plan.filterRowCount = 0;
  std::memset(plan.canonical, 0, sizeof plan.canonical);

  if (stars <= 1) std::memcpy(plan.canonical, t, static_cast<std::size_t>(len));
  if (stars == 0) {
    plan.kind = Kind::Exact;
    plan.tail = LoadReversedKey(t, len);
    plan.tailMask = {~std::uint64_t{0}, ~std::uint64_t{0}};
    return;
  }

  if (stars == 1) {
    plan.headLen = firstStar;
    plan.tailLen = len - firstStar - 1;
    unsigned char head[kFieldSize] = {};
    std::memcpy(head, t, static_cast<std::size_t>(plan.headLen));
    plan.head = LoadKey(head);
    plan.headMask = PrefixMask(plan.headLen);
    plan.tail = LoadReversedKey(t + firstStar + 1, plan.tailLen);
    plan.tailMask = PrefixMask(plan.tailLen);
    if (plan.headLen == 0) {
      plan.kind = plan.tailLen == 0 ? Kind::Any : Kind::Suffix;
    } else {
      plan.kind = plan.tailLen == 0 ? Kind::Prefix : Kind::PrefixSuffix;
    }
    return;
  }

  // Two stars or more: the non-empty pieces between them, in order.
  int spelled = 0;
  plan.canonical[spelled++] = '*';
  for (int p = 0; p < len;) {
    if (t[p] == '*') {
      ++p;
      continue;
    }
    int end = p;
    while (end < len && t[end] != '*') ++end;
    plan.pieceStart[plan.pieceCount] = static_cast<std::uint8_t>(p);
    plan.pieceLen[plan.pieceCount] = static_cast<std::uint8_t>(end - p);
    ++plan.pieceCount;
    for (int q = p; q < end; ++q) {
      AddFilterRow(plan, t[q]);
      if (q + 1 < end) AddFilterRow(plan, BytePairRow(t[q], t[q + 1]));
      plan.canonical[spelled++] = static_cast<char>(t[q]);
    }
    plan.canonical[spelled++] = '*';
    p = end;
  }
  plan.kind = plan.pieceCount == 0 ? Kind::Any : Kind::Pieces;
}

// Bit i set where byte i of the eight in `word` equals `c`.
std::uint32_t BytePositions(std::uint64_t word, unsigned char c) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  const std::uint64_t x = word ^ (0x0101010101010101u * c);
  const std::uint64_t equal = ~(((x & kLow7) + kLow7) | x) & ~kLow7;  // bit 7 of equal bytes
  return static_cast<std::uint32_t>(((equal >> 7) * 0x0102040810204080u) >> 56);
}

// Each piece is looked for at or after the search position, which then moves one
// byte past the start of the piece found. Where a piece can start is found for all
// sixteen positions at once; the padding is zero and no piece holds a zero byte.
bool MatchPieces(const unsigned char (&value)[kFieldSize], const PatternPlan& plan) {
  std::uint64_t low;
  std::uint64_t high;
  std::memcpy(&low, value, 8);
  std::memcpy(&high, value + 8, 8);
  int position = 0;
  for (int q = 0; q < plan.pieceCount; ++q) {
    const unsigned char* piece = plan.text + plan.pieceStart[q];
    std::uint32_t starts = ~std::uint32_t{0} << position;
    for (int b = 0; b < plan.pieceLen[q] && starts != 0; ++b) {
      const std::uint32_t at = BytePositions(low, piece[b]) | BytePositions(high, piece[b]) << 8;
      starts &= at >> b;
    }
    if (starts == 0) return false;
    position = std::countr_zero(starts) + 1;
  }
  return true;
}

bool Matches(const FieldTable& table, int i, const PatternPlan& plan) {
  switch (plan.kind) {
    case Kind::Any:
      return true;
    case Kind::Exact:
      return Same(table.backward[i], plan.tail);
    case Kind::Prefix:
      return Same(Masked(table.forward[i], plan.headMask), plan.head);
    case Kind::Suffix:
      return Same(Masked(table.backward[i], plan.tailMask), plan.tail);
    case Kind::PrefixSuffix:
      return Same(Masked(table.forward[i], plan.headMask), plan.head) &&
             Same(Masked(table.backward[i], plan.tailMask), plan.tail);
    case Kind::Pieces:
      return MatchPieces(table.text[i], plan);
  }
  return false;
}

struct Candidates {
  const SortedIndex* index = nullptr;
  Range range{0, 0};
};

// The range of tickets that a pattern with an exact part can match, if it has one.
void OfferRange(FieldTable& table, const PatternPlan& plan, Candidates& best) {
  const SortedIndex* index = nullptr;
  Range range{0, 0};
  switch (plan.kind) {
    case Kind::Exact:
    case Kind::Suffix:
      index = &BackwardIndex(table);
      range = FindRange(*index, plan.tail, plan.tailMask);
      break;
    case Kind::Prefix:
      index = &ForwardIndex(table);
      range = FindRange(*index, plan.head, plan.headMask);
      break;
    case Kind::PrefixSuffix:
      // The longer part is usually the narrower range.
      if (plan.headLen > plan.tailLen) {
        index = &ForwardIndex(table);
        range = FindRange(*index, plan.head, plan.headMask);
      } else {
        index = &BackwardIndex(table);
        range = FindRange(*index, plan.tail, plan.tailMask);
      }
      break;
    case Kind::Any:
    case Kind::Pieces:
      return;
  }
  if (best.index == nullptr || range.Size() < best.range.Size()) {
    best.index = index;
    best.range = range;
  }
}

void AndFilterRows(FieldTable& table, const PatternPlan& plan, bool& first) {
  if (plan.kind != Kind::Pieces) return;
  if (!table.filtersBuilt) BuildFilters(table);
  const int stride = g_scratch.stride;
  std::uint64_t* cand = g_scratch.candidates;
  for (int r = 0; r < plan.filterRowCount; ++r) {
    const std::uint64_t* row = table.filters + plan.filterRows[r] * stride;
    if (first) {
      std::memcpy(cand, row, sizeof(std::uint64_t) * stride);
      first = false;
    } else {
      for (int w = 0; w < stride; ++w) cand[w] &= row[w];
    }
  }
}

// A filter row of one byte is exactly the set of texts that hold it.
bool FilterIsExact(const PatternPlan& plan) {
  return plan.kind == Kind::Any || (plan.kind == Kind::Pieces && plan.pieceCount == 1 && plan.pieceLen[0] == 1);
}

// --- The bit-set path -------------------------------------------------------------

constexpr int kFromFront = 0;
constexpr int kFromBack = 1;

const unsigned char* Column(FieldTable& table, int direction, int position) {
  unsigned char* column = table.columns[direction][position];
  if (!table.columnBuilt[direction][position]) {
    for (int i = 0; i < g_scratch.count; ++i) {
      column[i] = static_cast<unsigned char>(direction == kFromFront ? table.text[i][position]
                                                                     : KeyByte(table.backward[i], position));
    }
    table.columnBuilt[direction][position] = true;
  }
  return column;
}

// The tickets whose byte `position`, counted from the front or from the back, is
// `byte` (0 beyond the text). Built when first asked for in this search.
const std::uint64_t* PositionRow(FieldTable& table, int direction, int position, unsigned char byte) {
  const Scratch& s = g_scratch;
  std::int16_t& id = table.positionRowOf[direction][position][byte];
  if (id < 0) {
    id = static_cast<std::int16_t>(table.positionRowCount++);
    std::uint64_t* row = table.positionRows + id * s.stride;
    const unsigned char* column = Column(table, direction, position);
    for (int w = 0; w < s.stride; ++w) {
      std::uint64_t bits = 0;
      for (int k = 0; k < 8; ++k) {
        bits |= std::uint64_t{BytePositions(LoadLittleEndian(column + w * 64 + k * 8), byte)} << (8 * k);
      }
      row[w] = bits;
    }
    if (s.count % 64 != 0) row[s.stride - 1] &= (std::uint64_t{1} << (s.count % 64)) - 1;  // not tickets
  }
  return table.positionRows + id * s.stride;
}

// Where piece q of a chain can start in texts of at most `longest` bytes: each piece
// starts at least one byte after the one before it and ends within the text.
Range PieceStarts(const PatternPlan& plan, int q, int longest) { return {q, longest - plan.pieceLen[q] + 1}; }

// Calls visit(direction, position, byte) for each position row that the pattern's
// bit set is made from: the AND of them for exact texts, prefixes and suffixes, and
// for a chain of pieces every piece at every position where it may start.
template <typename Visit>
void ForEachPositionRow(const PatternPlan& plan, int longest, Visit visit) {
  const unsigned char* t = plan.text;
  switch (plan.kind) {
    case Kind::Any:
      return;
    case Kind::Exact:
      for (int p = 0; p < plan.textLen; ++p) visit(kFromFront, p, t[p]);
      if (plan.textLen < kFieldBytes) visit(kFromFront, plan.textLen, 0);  // and no more
      return;
    case Kind::Prefix:
    case Kind::Suffix:
    case Kind::PrefixSuffix:
      for (int p = 0; p < plan.headLen; ++p) visit(kFromFront, p, t[p]);
      for (int p = 0; p < plan.tailLen; ++p) visit(kFromBack, p, t[plan.textLen - 1 - p]);
      return;
    case Kind::Pieces:
      for (int q = 0; q < plan.pieceCount; ++q) {
        const Range starts = PieceStarts(plan, q, longest);
        for (int at = starts.begin; at < starts.end; ++at) {
          for (int b = 0; b < plan.pieceLen[q]; ++b) visit(kFromFront, at + b, t[plan.pieceStart[q] + b]);
        }
      }
      return;
  }
}

// What a pattern's bit set costs: the evaluation, and the building of the position
// rows it needs that are not built yet (room is made for them here).
struct BitSetCost {
  std::int64_t evaluate = 0;
  std::int64_t build = 0;
};

BitSetCost CostOfBitSet(FieldTable& table, const PatternPlan& plan) {
  int rows = 0;
  int missing = 0;
  ForEachPositionRow(plan, table.longest, [&](int d, int p, unsigned char b) {
    ++rows;
    if (table.positionRowOf[d][p][b] < 0) ++missing;
  });
  if (table.positionRowCount + missing > kPositionRows) {
    ResetPositionRows(table);
    missing = rows;
  }
  const int reachSteps = plan.kind == Kind::Pieces ? 2 * rows : 0;  // overstated: fine for a choice
  return {std::int64_t{rows + reachSteps} * g_scratch.stride,
          std::int64_t{missing} * g_scratch.count / kTicketsPerRowBuildCost};
}

void AndRow(std::uint64_t* set, const std::uint64_t* row, int stride) {
  for (int w = 0; w < stride; ++w) set[w] &= row[w];
}

// Keeps in `set` the tickets whose field matches the pattern. A chain of pieces is
// placed piece by piece: the tickets that can hold piece q starting at position s
// are those holding its bytes there and holding the pieces before it with the last
// one starting before s.
void AndPatternSet(FieldTable& table, const PatternPlan& plan, std::uint64_t* set) {
  Scratch& s = g_scratch;
  const int stride = s.stride;
  const std::size_t bytes = sizeof(std::uint64_t) * static_cast<std::size_t>(stride);
  if (plan.kind != Kind::Pieces) {
    ForEachPositionRow(plan, table.longest,
                       [&](int d, int p, unsigned char b) { AndRow(set, PositionRow(table, d, p, b), stride); });
    return;
  }
  std::uint64_t* occurs = s.candidates;
  Range before{0, kFieldSize};  // positions where the reach of the pieces before is known
  for (int q = 0; q < plan.pieceCount; ++q) {
    const Range starts = PieceStarts(plan, q, table.longest);
    if (starts.Size() <= 0) {
      std::memset(set, 0, bytes);
      return;
    }
    std::uint64_t(*reach)[kWords] = s.reach[q & 1];
    const std::uint64_t(*reachBefore)[kWords] = s.reach[(q & 1) ^ 1];
    std::memset(reach[starts.begin], 0, bytes);
    for (int at = starts.begin; at < starts.end; ++at) {
      const std::uint64_t* held = q == 0 ? set : reachBefore[std::min(at, before.end)];
      std::memcpy(occurs, held, bytes);
      for (int b = 0; b < plan.pieceLen[q]; ++b) {
        AndRow(occurs, PositionRow(table, kFromFront, at + b, plan.text[plan.pieceStart[q] + b]), stride);
      }
      for (int w = 0; w < stride; ++w) reach[at + 1][w] = reach[at][w] | occurs[w];
    }
    before = {starts.begin + 1, starts.end};  // reach[end] holds every start found
  }
  std::memcpy(set, s.reach[(plan.pieceCount - 1) & 1][before.end], bytes);
}

void AddEntryHits(const std::uint64_t* set, std::uint32_t entries) {
  Scratch& s = g_scratch;
  for (std::uint32_t e = entries; e != 0; e &= e - 1) {
    std::uint64_t* hits = s.entryHits[std::countr_zero(e)];
    for (int w = 0; w < s.stride; ++w) hits[w] |= set[w];
  }
}

// --- One pair ------------------------------------------------------------------------

void SearchPair(const PatternPlan& group, const PatternPlan& number, std::uint32_t entries) {
  Scratch& s = g_scratch;
  FieldTable& groups = s.fields[0];
  FieldTable& numbers = s.fields[1];
  auto matchesBoth = [&](int i) { return Matches(groups, i, group) && Matches(numbers, i, number); };

  if (group.kind == Kind::Any && number.kind == Kind::Any) {
    s.everyone |= entries;
    return;
  }

  // What the indexes would cost: the candidates they leave, each matched in full.
  const int chains = (group.kind == Kind::Pieces) + (number.kind == Kind::Pieces);
  const int checks = (group.kind != Kind::Any) + (number.kind != Kind::Any) - chains;
  const std::int64_t checkCost = std::int64_t{checks} * kCheckCost + std::int64_t{chains} * kPiecesCheckCost;
  Candidates best;
  OfferRange(groups, group, best);
  OfferRange(numbers, number, best);
  std::uint64_t* cand = s.candidates;
  std::int64_t indexedCost = 0;
  if (best.index != nullptr) {
    indexedCost = best.range.Size() * checkCost;
  } else {
    // Chains of pieces: the tickets that hold all their bytes and byte pairs.
    bool first = true;
    AndFilterRows(groups, group, first);
    AndFilterRows(numbers, number, first);
    if (!(FilterIsExact(group) && FilterIsExact(number))) {
      int left = 0;
      for (int w = 0; w < s.stride; ++w) left += std::popcount(cand[w]);
      indexedCost = left * checkCost;
    }
  }
  const BitSetCost ofGroup = CostOfBitSet(groups, group);
  const BitSetCost ofNumber = CostOfBitSet(numbers, number);
  const std::int64_t evaluate = ofGroup.evaluate + ofNumber.evaluate;
  const std::int64_t build = ofGroup.build + ofNumber.build;
  // Rows once built serve every later pair, so their cost is weighed against what
  // going without them has cost so far, not against this pair alone.
  const bool bitSets = evaluate + std::max<std::int64_t>(0, build - s.regret) < indexedCost;
  if (!bitSets && evaluate < indexedCost) s.regret += indexedCost - evaluate;
  if (bitSets) {
    s.regret = std::max<std::int64_t>(0, s.regret - build);
    std::uint64_t* set = s.pairSet;
    if (best.index != nullptr) {
      std::fill_n(set, s.stride, ~std::uint64_t{0});
      if (s.count % 64 != 0) set[s.stride - 1] = (std::uint64_t{1} << (s.count % 64)) - 1;
    } else {
      std::memcpy(set, cand, sizeof(std::uint64_t) * s.stride);  // the filters never drop a match
    }
    AndPatternSet(groups, group, set);
    AndPatternSet(numbers, number, set);
    AddEntryHits(set, entries);
    return;
  }

  if (best.index != nullptr) {
    for (int r = best.range.begin; r < best.range.end; ++r) {
      const int i = best.index->order[r];
      if (matchesBoth(i)) s.masks[i] |= entries;
    }
    return;
  }
  if (indexedCost > 0) {
    for (int w = 0; w < s.stride; ++w) {
      for (std::uint64_t bits = cand[w]; bits != 0; bits &= bits - 1) {
        if (!matchesBoth(w * 64 + std::countr_zero(bits))) {
          cand[w] &= ~(bits & (~bits + 1));  // drop the lowest candidate left
        }
      }
    }
  }
  AddEntryHits(cand, entries);
}

std::uint64_t HashPair(const PatternPlan& group, const PatternPlan& number) {
  std::uint64_t h = 1469598103934665603u;  // FNV-1a
  for (const char* text : {group.canonical, number.canonical}) {
    for (int b = 0; b < kCanonicalSize; ++b) {
      h = (h ^ static_cast<unsigned char>(text[b])) * 1099511628211u;
    }
  }
  return h;
}

// Gathers the pairs of all entries in use; a pair that asks what an earlier one asks
// (the same pair in several entries, or spelt otherwise) only adds its entry's bit.
void CollectPairs(const WinningEntry* entries, int winningCount) {
  Scratch& s = g_scratch;
  s.pairCount = 0;
  std::fill_n(s.pairSlots, kPairSlots, std::int16_t{-1});
  for (int j = 0; j < winningCount; ++j) {
    const int pairCount = ClampPairCount(entries[j].pairCount);
    for (int k = 0; k < pairCount; ++k) {
      DistinctPair& next = s.pairs[s.pairCount];
      AnalysePattern(entries[j].pairs[k].group, next.group);
      AnalysePattern(entries[j].pairs[k].number, next.number);
      const std::uint32_t bit = std::uint32_t{1} << j;
      std::size_t slot = HashPair(next.group, next.number) % kPairSlots;
      for (;; slot = (slot + 1) % kPairSlots) {
        std::int16_t& held = s.pairSlots[slot];
        if (held < 0) {
          held = static_cast<std::int16_t>(s.pairCount++);
          next.entries = bit;
          break;
        }
        DistinctPair& known = s.pairs[held];
        if (std::memcmp(known.group.canonical, next.group.canonical, kCanonicalSize) == 0 &&
            std::memcmp(known.number.canonical, next.number.canonical, kCanonicalSize) == 0) {
          known.entries |= bit;
          break;
        }
      }
    }
  }
}

}  // namespace

int RunSearch(LotteryStore& store) {
  Scratch& s = g_scratch;
  SearchTarget* targets = store.TargetSlots();
  s.count = std::clamp(store.TargetCount(), 0, kMaxTargets);
  s.stride = (s.count + 63) / 64;
  if (s.count == 0) return 0;

  std::memset(s.masks, 0, sizeof(std::uint32_t) * static_cast<std::size_t>(s.count));
  for (auto& hits : s.entryHits) std::memset(hits, 0, sizeof(std::uint64_t) * s.stride);
  s.everyone = 0;
  s.regret = 0;
  const int winningCount = std::clamp(store.WinningCount(), 0, kMaxWinningEntries);
  CollectPairs(store.WinningSlots(), winningCount);
  if (s.pairCount > 0) {
    PrepareField(s.fields[0], targets, s.count, false);
    PrepareField(s.fields[1], targets, s.count, true);
  }
  for (int p = 0; p < s.pairCount; ++p) {
    SearchPair(s.pairs[p].group, s.pairs[p].number, s.pairs[p].entries);
  }

  for (int j = 0; j < winningCount; ++j) {
    const std::uint32_t bit = std::uint32_t{1} << j;
    for (int w = 0; w < s.stride; ++w) {
      for (std::uint64_t bits = s.entryHits[j][w]; bits != 0; bits &= bits - 1) {
        s.masks[w * 64 + std::countr_zero(bits)] |= bit;
      }
    }
  }
  for (int i = 0; i < s.count; ++i) {
    const std::uint32_t mask = s.masks[i] | s.everyone;
    targets[i].hitMask = mask;
    targets[i].hit = mask != 0 ? 1 : 0;
  }
  return 0;
}

}  // namespace luckyscope
