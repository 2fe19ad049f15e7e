#pragma once
// Search-target files ("dat"), winning-number files ("ban") and comma-separated files
// ("csv") holding either kind: their kinds, the readers and writers that move a table
// of the store to and from a file, and the text helpers the readers use. DataCore
// (core/data_core.h) offers them to the windows together with its base folder,
// settings and messages.

#include "core/file_io.h"
#include "core/lottery_store.h"

namespace luckyscope {

// Kinds of data file.
inline constexpr int kTargetFile = 0;
inline constexpr int kWinningFile = 1;
inline constexpr int kUnusableFile = -1;
inline constexpr int kEmptyPath = -2;

// The readers and writers return the results of core/file_io.h (kFileDone and on).
// The kind of file a path names: by its extension, and for "csv" by its first line.
int ClassifyDataFile(const char* path);
// The kind of a csv file, from its first line: the marker the program writes, or else
// the number of fields.
int SniffCsvFile(const char* path);
// True when a file's bytes are plainly not the text of a data file: most of its first
// lines hold a NUL byte or bytes that never occur in CP932 text. A double-byte
// character cut at a field's byte limit is text. An empty file, or one that cannot
// be read, is not judged (false).
bool LooksLikeBinary(const char* path);
// A bare name joined with the base folder; a name with a folder part as it is.
// 0, or -1 with an empty text when the joined path would not fit.
int ResolveDataPath(const char* baseFolder, const char* name, char (&out)[kPathSize]);

// Readers replace the store's table with the file's records and settle its
// unsaved-changes flag; loading winning numbers drops the old hit results.
int ReadTargetFile(LotteryStore& store, const char* path);
int ReadWinningFile(LotteryStore& store, const char* path);
// Writers replace the file whole (SafeFileWriter) and settle the table's flag. With
// `withResults` every target with a hit carries its hit text as a fourth field. On a
// failure `errorNumber`, when given, receives the system's reason (errno).
int WriteTargetFile(LotteryStore& store, const char* path, bool withResults, const WriteFault* fault,
                    int* errorNumber = nullptr);
int WriteWinningFile(LotteryStore& store, const char* path, const WriteFault* fault, int* errorNumber = nullptr);

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

// The folder part of a path: the text before its last '/' or '\'. A path without
// either, or whose only separator is its first byte, gives an empty text; so does an
// empty path. A path longer than 511 bytes is looked at over its first 511 bytes.
// Returns 0.
int DirectoryPart(const char* path, char (&out)[kPathSize]);

// True for a path whose extension is "csv" in any letter case.
bool HasCsvExtension(const char* path);

}  // namespace luckyscope
