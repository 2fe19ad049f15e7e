#pragma once
// Tickets to and from the user's other tools: reading a comma-, semicolon- or
// tab-separated file that a spreadsheet wrote (its encoding, separator, header line and
// columns guessed), taking its rows into the search targets, and quoting fields for the
// csv files the program exports. Bytes only: turning UTF-8 into CP932 is the caller's
// (the window layer's codec), handed in as a FieldConverter.

#include <cstddef>
#include <cstdint>
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

inline constexpr std::size_t kImportFileLimit = 64u << 20;  // bytes read at most
inline constexpr int kImportColumnLimit = 64;               // fields kept of a row
// Bytes kept of a field: more than any field of the table can hold after conversion,
// so a longer field is still cut (and counted) as it always was.
inline constexpr std::size_t kImportFieldLimit = 1024;

// The rows of a file, held once as its text. A row is parsed when it is asked for, so
// that a file of millions of short rows costs four bytes a row and one long field is
// never copied whole: a row keeps its first kImportColumnLimit fields, each cut to
// kImportFieldLimit bytes on a character boundary of the file's encoding.
class CsvRows {
 public:
  CsvRows() = default;
  // `text` is the whole file; its rows start at `offset` (after a byte-order mark).
  CsvRows(std::string text, std::size_t offset, char separator, TextEncoding encoding);

  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  CsvRow operator[](std::size_t i) const;
  CsvRow front() const { return (*this)[0]; }
  // The most fields in any row (at most kImportColumnLimit).
  int Columns() const { return columns_; }
  TextEncoding Encoding() const { return encoding_; }

  class const_iterator {
   public:
    const_iterator(const CsvRows* rows, std::size_t i) : rows_(rows), i_(i) {}
    CsvRow operator*() const { return (*rows_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

   private:
    const CsvRows* rows_;
    std::size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

 private:
  std::string text_;
  std::vector<std::uint32_t> starts_;  // where each row's parse begins
  char separator_ = ',';
  TextEncoding encoding_ = TextEncoding::Cp932;
  int columns_ = 0;
  mutable std::size_t cachedIndex_ = SIZE_MAX;
  mutable CsvRow cachedRow_;
};

// Which column (0-based) holds the name, group and number; -1 for none.
struct ImportLayout {
  int name = -1;
  int group = -1;
  int number = -1;
  bool header = false;  // the first row names the columns and is not a ticket
  // Digit strings shorter than these widths get leading zeros (0: leave as they are).
  int padNumberTo = 0;
  int padGroupTo = 0;
  // Tickets already in the list, or earlier in the file, are taken in all the same.
  bool keepDuplicates = false;
};

// The header words 名前/氏名/宛名/差出人/name, 組/group, 番号/くじ番号/number (letter case
// aside), matched on the cell's characters in the file's encoding (never on its bytes,
// where a trail byte can pass for a letter), give the columns
// when the first row has any of them. Otherwise the columns are told by what they
// hold: six-digit numbers are the number, short digit strings the group, text the
// name; and the first row is a header only when it does not look like the rows below
// (text where they hold digits).
// Rows in a vector have their encoding told from the first row's bytes.
ImportLayout GuessLayout(const std::vector<CsvRow>& rows);
ImportLayout GuessLayout(const CsvRows& rows);

// Numbers (groups) a spreadsheet shortened: where most rows' numbers are digit strings
// of one length, the ones shorter than that. Full-width digits count as digits.
struct PaddingOffer {
  int numberWidth = 0;   // the length most numbers share, 0 when none stands out
  int shortNumbers = 0;  // rows whose number is shorter
  int groupWidth = 0;
  int shortGroups = 0;
  bool allDigits = true;  // every shorter one is a digit string (padding is safe)
};
PaddingOffer FindShortenedFields(const std::vector<CsvRow>& rows, const ImportLayout& layout);
PaddingOffer FindShortenedFields(const CsvRows& rows, const ImportLayout& layout);

// A file made ready for import.
struct ImportSource {
  bool readable = false;  // false: missing, unreadable, not a regular file, or too large
  TextEncoding encoding = TextEncoding::Cp932;
  char separator = ',';
  CsvRows rows;  // fields in the file's encoding, the byte-order mark dropped
};

ImportSource ReadImportSource(const char* path);

// A field in the file's encoding -> CP932 bytes; false when CP932 cannot hold it.
using FieldConverter = std::function<bool(const std::string& field, std::string& cp932)>;

enum class ImportMode { Append, Replace };

struct ImportSummary {
  int added = 0;
  int header = 0;               // rows skipped as the header line
  int unencodable = 0;          // rows with text CP932 cannot hold
  int noName = 0;               // rows without a name
  int overLimit = 0;            // rows beyond the 10,000 tickets
  int cut = 0;                  // tickets with a field cut to its width
  int cleaned = 0;              // tickets that lost a quote or a line end
  int folded = 0;               // tickets whose full-width digits became half-width
  int padded = 0;               // tickets whose group or number got leading zeros
  int duplicates = 0;           // rows whose ticket was in the list or earlier in the file
  bool duplicatesKept = false;  // ... and were taken in all the same
};

// Takes the rows into the search targets: Replace empties the table first, Append adds
// after the last ticket. Fields lose their surrounding blanks, quotes and line ends,
// groups and numbers their full-width digits, and are padded as the layout asks and cut
// to the table's widths on a character boundary; a ticket already there is skipped
// unless the layout keeps duplicates; the new tickets carry no hit results. Once the
// table is full the remaining rows are counted without being read.
ImportSummary ImportTargets(DataCore& core, const std::vector<CsvRow>& rows, const ImportLayout& layout,
                            ImportMode mode, const FieldConverter& convert);
ImportSummary ImportTargets(DataCore& core, const CsvRows& rows, const ImportLayout& layout, ImportMode mode,
                            const FieldConverter& convert);
// What ImportTargets would do, the list left as it is.
ImportSummary PreviewImport(const DataCore& core, const CsvRows& rows, const ImportLayout& layout, ImportMode mode,
                            const FieldConverter& convert);

// A field for a csv file: as it is, or in double quotes with its quotes doubled when it
// holds a comma, a quote, a line end or surrounding blanks.
std::string CsvQuoted(std::string_view field);

}  // namespace luckyscope
