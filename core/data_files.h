#pragma once
// Text helpers of the data-file readers. The readers and writers themselves are
// operations of DataCore (core/data_core.h); their bodies live in data_files.cpp.

#include "core/file_io.h"
#include "core/lottery_store.h"

namespace luckyscope {

// The state of one NextCsvField scan: where the next field starts, and whether the
// line has any field left.
struct CsvFieldState {
  char* next = nullptr;
  bool more = false;
};

// Quote-aware field scanner. Called with a line it starts at the line's first byte;
// called with nullptr it goes on after the previous field. Separators inside double
// quotes belong to the field; an opening quote is skipped and a closing quote at the
// field's end is removed; doubled quotes are kept as they are. The separator after a
// field is overwritten with NUL in the line. Returns the field, or nullptr when the
// line has no more fields (the first call always yields one).
char* NextCsvField(char* line, char separator, CsvFieldState& state);

// Turns every line feed among the first `length` bytes into NUL, so that the text
// ends at its first line feed. Returns 0.
int StripLineFeeds(char* buffer, int length);

// Reads the next piece of a file and strips its line feed (StripLineFeeds).
// Returns the piece's length in bytes before stripping, 0 at the end of the file
// (the line is then empty).
int ReadStrippedLine(PieceReader& reader, char (&line)[kLineBufferSize]);

// The folder part of a path: the text before its last '/' or '\'. A path without
// either, or whose only separator is its first byte, gives an empty text; so does an
// empty path. A path longer than 511 bytes is looked at over its first 511 bytes.
// Returns 0.
int DirectoryPart(const char* path, char (&out)[kPathSize]);

// True for a path whose extension is "csv" in any letter case.
bool HasCsvExtension(const char* path);

}  // namespace luckyscope
