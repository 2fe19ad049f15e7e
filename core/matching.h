#pragma once
// Matching of tickets against winning numbers with the wildcard '*', the literal search
// over the whole store, the hit-type text, and the small text operations they rest on.
// Values and patterns are NUL-terminated CP932 byte strings of at most 15 bytes.

#include "core/lottery_store.h"

namespace luckyscope {

// out result: 0 match, -1 no match. Always returns 0.
int MatchPattern(const char* value, const char* pattern, int& result);

// The literal search, straight from the matching rule, kept as the reference that the
// fast RunSearch (core/search.h) is checked against. Same effect and result.
int RunSearchReference(LotteryStore& store);

// Hit-type text of target `index` (0-based): titles of the matched entries joined by
// one space, each cut to 256/m-2 bytes; forFile gives "×" for a target without hits.
// -1 (and an empty text) when the index is outside 0..9999 or there are no entries.
int HitText(const LotteryStore& store, int index, int forFile, char (&out)[kTextSize]);

// Copies `source` without leading and trailing bytes 0x01..limit into `out`
// (which must hold strlen(source)+1 bytes). Returns 0.
int TrimBlanks(const char* source, char* out, unsigned char limit);

// Piece `index` (1-based) of `text` cut at `separator`, into `out` (which must hold
// strlen(text)+1 bytes). 0 ok; -1 empty text; -2 index < 1 (out untouched);
// -3 too few separators (out empty).
int SplitField(const char* text, const char* separator, int index, char* out);

// Non-overlapping occurrences of a non-empty separator in text.
int CountOccurrences(const char* text, const char* separator);

}  // namespace luckyscope
