#pragma once
// Small byte-string helpers shared by the data files, the settings file and the dialogs.
// Texts are NUL-terminated CP932 byte strings; nothing here looks at characters.

#include <cstddef>

namespace luckyscope {

// Reads a decimal integer the lenient way: leading blanks (space, tab, line feed,
// vertical tab, form feed, carriage return) are skipped, then an optional sign and the
// leading decimal digits are read; anything after them is ignored. A text without
// digits (or a null pointer) reads as 0. Values beyond the int range stop at
// INT_MAX / INT_MIN instead of overflowing.
int ReadLenientInt(const char* text);

// Copies at most size-1 bytes of `src` (up to its terminator) into `dst` and
// terminates it: the cut of an over-long text at a byte count, which may split a
// double-byte character. Returns the number of bytes copied.
std::size_t CopyCut(char* dst, std::size_t size, const char* src);

template <std::size_t N>
std::size_t CopyCut(char (&dst)[N], const char* src) {
  return CopyCut(dst, N, src);
}

// Copies at most size-1 bytes of the CP932 text `src` into `dst` and terminates it, like
// CopyCut, but never ends inside a double-byte character: a character that would be
// split is left out whole. True when the text was cut.
bool CopyCutCharacters(char* dst, std::size_t size, const char* src);

// True when `text` ends with `suffix`, comparing ASCII letters without regard to case
// (bytes 0x80..0xFF are compared as they are).
bool EndsWithNoCase(const char* text, const char* suffix);

}  // namespace luckyscope
