#pragma once
// Tickets to and from the user's other tools: reading a comma-, semicolon- or
// tab-separated file that a spreadsheet wrote (its encoding, separator, header line and
// columns guessed), taking its rows into the search targets, and quoting fields for the
// csv files the program exports. Bytes only: turning UTF-8 into CP932 is the caller's
// (the window layer's codec), handed in as a FieldConverter.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace luckyscope {

class DataCore;

enum class TextEncoding { Utf8Bom, Utf8, Cp932 };

// A byte-order mark gives UTF-8 with BOM; text that is valid UTF-8 and holds at least
// one multi-byte sequence gives UTF-8; anything else (plain ASCII included, which reads
// the same either way) is taken as CP932.
TextEncoding DetectTextEncoding(std::string_view bytes);

// The separator of the first line: tab, semicolon or comma, whichever appears most
// often outside double quotes; a comma when none does.
char DetectSeparator(std::string_view text);

using CsvRow = std::vector<std::string>;

// RFC 4180 rows: fields in double quotes may hold separators, line ends and doubled
// quotes (read as one quote); CR LF, a lone LF and a lone CR all end a row. Blank lines
// give no row.
std::vector<CsvRow> ParseDelimited(std::string_view text, char separator);

// Which column (0-based) holds the name, group and number; -1 for none.
struct ImportLayout {
  int name = -1;
  int group = -1;
  int number = -1;
  bool header = false;  // the first row names the columns and is not a ticket
};

// Roles from the header words 名前/氏名/name, 組/group, 番号/number (in UTF-8 or CP932,
// letter case aside) when the first row has any of them, else by position (name,
// group, number; with two columns name and number). The first row is a header when it
// has such words or when its number column holds something that is not a number.
ImportLayout GuessLayout(const std::vector<CsvRow>& rows);

// A file made ready for import.
struct ImportSource {
  bool readable = false;  // false: missing, unreadable, not a regular file, or too large
  TextEncoding encoding = TextEncoding::Cp932;
  char separator = ',';
  std::vector<CsvRow> rows;  // fields in the file's encoding, the byte-order mark dropped
};

inline constexpr std::size_t kImportFileLimit = 64u << 20;  // bytes read at most

ImportSource ReadImportSource(const char* path);

// A field in the file's encoding -> CP932 bytes; false when CP932 cannot hold it.
using FieldConverter = std::function<bool(const std::string& field, std::string& cp932)>;

enum class ImportMode { Append, Replace };

struct ImportSummary {
  int added = 0;
  int header = 0;       // rows skipped as the header line
  int unencodable = 0;  // rows with text CP932 cannot hold
  int noName = 0;       // rows without a name
  int overLimit = 0;    // rows beyond the 10,000 tickets
  int cut = 0;          // tickets with a field cut to its width
};

// Takes the rows into the search targets: Replace empties the table first, Append adds
// after the last ticket. Fields lose their surrounding blanks and are cut to the
// table's widths on a character boundary; the new tickets carry no hit results.
ImportSummary ImportTargets(DataCore& core, const std::vector<CsvRow>& rows, const ImportLayout& layout,
                            ImportMode mode, const FieldConverter& convert);

// A field for a csv file: as it is, or in double quotes with its quotes doubled when it
// holds a comma, a quote, a line end or surrounding blanks.
std::string CsvQuoted(std::string_view field);

}  // namespace luckyscope
