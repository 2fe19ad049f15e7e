#include "core/csv_exchange.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

#include "core/data_core.h"
#include "core/file_io.h"
#include "core/text_util.h"
#include "core/ticket_intake.h"

namespace luckyscope {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Length of the UTF-8 sequence at p (1..4), or 0 when it is not a valid one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t p) {
  const auto b = static_cast<unsigned char>(text[p]);
  std::size_t n = 0;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF)
    n = 2;
  else if (b >= 0xE0 && b <= 0xEF)
    n = 3;
  else if (b >= 0xF0 && b <= 0xF4)
    n = 4;
  else
    return 0;
  if (p + n > text.size()) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(text[p + i]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The characters of a header cell as lower-case UTF-8. CP932 is walked a character at a
// time and its double-byte characters are decoded (those of the header words; any other
// becomes U+FFFD), so that a trail byte is never read as a letter of its own.
std::string HeaderText(std::string_view cell, TextEncoding encoding) {
  struct Kanji {
    unsigned short cp932;
    const char* utf8;
  };
  static constexpr Kanji kWords[] = {{0x96BC, "\xE5\x90\x8D"}, {0x914F, "\xE5\x89\x8D"}, {0x8E81, "\xE6\xB0\x8F"},
                                     {0x88B6, "\xE5\xAE\x9B"}, {0x8DB7, "\xE5\xB7\xAE"}, {0x8F6F, "\xE5\x87\xBA"},
                                     {0x906C, "\xE4\xBA\xBA"}, {0x9167, "\xE7\xB5\x84"}, {0x94D4, "\xE7\x95\xAA"},
                                     {0x8D86, "\xE5\x8F\xB7"}, {0x82AD, "\xE3\x81\x8F"}, {0x82B6, "\xE3\x81\x98"}};
  std::string out;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    const auto b = static_cast<unsigned char>(cell[i]);
    if (b < 0x80) {
      out.push_back(b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : static_cast<char>(b));
    } else if (encoding != TextEncoding::Cp932) {
      out.push_back(static_cast<char>(b));  // never an ASCII byte inside a UTF-8 sequence
    } else if (IsCp932Lead(b) && i + 1 < cell.size()) {
      const unsigned code = b << 8 | static_cast<unsigned char>(cell[++i]);
      const char* utf8 = "\xEF\xBF\xBD";
      for (const Kanji& k : kWords) {
        if (k.cp932 == code) utf8 = k.utf8;
      }
      out += utf8;
    } else {
      out += "\xEF\xBF\xBD";
    }
  }
  return out;
}

bool HasAny(const std::string& text, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return text.find(w) != std::string::npos; });
}

enum class Role { None, Name, Group, Number };

// 番号 (くじ番号 and 組番号 too) is the number, 名前/氏名/宛名/差出人 the name, 組 the group.
Role HeaderRole(std::string_view cell, TextEncoding encoding) {
  const std::string text = HeaderText(Trimmed(cell), encoding);
  if (HasAny(text, {"\xE7\x95\xAA\xE5\x8F\xB7", "number"})) return Role::Number;
  if (HasAny(text, {"\xE5\x90\x8D\xE5\x89\x8D", "\xE6\xB0\x8F\xE5\x90\x8D", "\xE5\xAE\x9B\xE5\x90\x8D",
                    "\xE5\xB7\xAE\xE5\x87\xBA\xE4\xBA\xBA", "name"})) {
    return Role::Name;
  }
  if (HasAny(text, {"\xE7\xB5\x84", "group"})) return Role::Group;
  return Role::None;
}

// The digits of a cell of ASCII digits or full-width digits in UTF-8 (EF BC 90..99) or
// CP932 (82 4F..58); -1 when the cell is empty or holds anything else.
int DigitCount(std::string_view cell) {
  const std::string_view text = Trimmed(cell);
  if (text.empty()) return -1;
  int digits = 0;
  for (std::size_t i = 0; i < text.size(); ++digits) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= '0' && b <= '9') {
      ++i;
    } else if (b == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBC &&
               static_cast<unsigned char>(text[i + 2]) >= 0x90 && static_cast<unsigned char>(text[i + 2]) <= 0x99) {
      i += 3;
    } else if (b == 0x82 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x4F &&
               static_cast<unsigned char>(text[i + 1]) <= 0x58) {
      i += 2;
    } else {
      return -1;
    }
  }
  return digits;
}

// Characters of a text as far as a length comparison needs: UTF-8 continuation bytes
// do not count.
int RoughLength(std::string_view text) {
  return static_cast<int>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

const std::string& Cell(const CsvRow& row, int column) {
  static const std::string empty;
  return column >= 0 && static_cast<std::size_t>(column) < row.size() ? row[static_cast<std::size_t>(column)] : empty;
}

// Drops a character the cut at the end of `field` left incomplete.
void DropBrokenTail(std::string& field, TextEncoding encoding) {
  if (encoding == TextEncoding::Cp932) {
    for (std::size_t i = 0; i < field.size();) {
      const std::size_t n = IsCp932Lead(static_cast<unsigned char>(field[i])) ? 2 : 1;
      if (i + n > field.size()) {
        field.resize(i);
        break;
      }
      i += n;
    }
    return;
  }
  std::size_t i = field.size();
  std::size_t continuation = 0;
  while (i > 0 && continuation < 3 && (static_cast<unsigned char>(field[i - 1]) & 0xC0) == 0x80) {
    --i;
    ++continuation;
  }
  if (i == 0) return;
  const auto lead = static_cast<unsigned char>(field[i - 1]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length > continuation + 1) field.resize(i - 1);
}

// One row from `pos` on, blank lines before it skipped; pos ends past the row's line
// end. False when only blank lines were left. With `out`, the first `maxFields` fields
// are kept, each cut to `maxFieldBytes` bytes (on a character boundary of `encoding`);
// `fields` counts them all.
bool ParseRowAt(std::string_view text, std::size_t& pos, char separator, CsvRow* out, std::size_t maxFields,
                std::size_t maxFieldBytes, TextEncoding encoding, std::size_t* fields) {
  std::string field;
  std::size_t fieldLength = 0;  // bytes of the field read so far, kept or not
  std::size_t count = 0;
  bool quoted = false;      // inside a quoted field
  bool rowStarted = false;  // the row has a field or a separator so far
  // Whether the current field's bytes are still kept; past that they are only counted,
  // and runs of plain bytes are stepped over whole.
  auto keeping = [&] { return out != nullptr && count < maxFields && field.size() < maxFieldBytes; };
  auto keepField = [&] {
    if (fieldLength > field.size()) DropBrokenTail(field, encoding);
    out->push_back(std::move(field));
    field.clear();
  };
  auto endField = [&] {
    if (out != nullptr && count < maxFields) keepField();
    fieldLength = 0;
    ++count;
  };
  auto endRow = [&] {
    endField();
    if (fields != nullptr) *fields = count;
    return true;
  };
  const std::size_t size = text.size();
  const char* data = text.data();
  while (pos < size) {
    const char c = data[pos++];
    if (quoted) {
      if (c != '"') {
        if (keeping()) {
          field.push_back(c);
          ++fieldLength;
        } else {
          const void* quote = std::memchr(data + pos, '"', size - pos);
          const std::size_t next =
              quote != nullptr ? static_cast<std::size_t>(static_cast<const char*>(quote) - data) : size;
          fieldLength += 1 + next - pos;
          pos = next;
        }
      } else if (pos < size && data[pos] == '"') {
        if (keeping()) field.push_back('"');
        ++fieldLength;
        ++pos;
      } else {
        quoted = false;
      }
    } else if (c == '"' && fieldLength == 0) {
      quoted = true;
      rowStarted = true;
    } else if (c == separator) {
      // endField() written out: a file of commas passes here for every byte.
      if (out != nullptr && count < maxFields) keepField();
      fieldLength = 0;
      ++count;
      rowStarted = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && pos < size && data[pos] == '\n') ++pos;
      if (rowStarted || fieldLength > 0) return endRow();
    } else if (keeping()) {
      field.push_back(c);
      ++fieldLength;
    } else {
      ++fieldLength;
      while (pos < size) {
        const char d = data[pos];
        if (d == separator || d == '"' || d == '\n' || d == '\r') break;
        ++pos;
        ++fieldLength;
      }
    }
  }
  if (rowStarted || fieldLength > 0) return endRow();
  return false;
}

// Rows in a vector, or parsed from a file's text, read the same way.
const CsvRow& RowAt(const std::vector<CsvRow>& rows, std::size_t i) { return rows[i]; }
CsvRow RowAt(const CsvRows& rows, std::size_t i) { return rows[i]; }

TextEncoding EncodingOf(const std::vector<CsvRow>& rows) {
  std::string first;
  if (!rows.empty()) {
    for (const std::string& cell : rows.front()) first += cell;
  }
  return DetectTextEncoding(first);
}
TextEncoding EncodingOf(const CsvRows& rows) { return rows.Encoding(); }

constexpr std::size_t kSampleRows = 200;  // rows whose content tells the columns

template <class Rows>
ImportLayout GuessLayoutOf(const Rows& rows) {
  ImportLayout layout;
  if (rows.empty()) return layout;
  const TextEncoding encoding = EncodingOf(rows);
  const CsvRow first = RowAt(rows, 0);
  for (std::size_t c = 0; c < first.size(); ++c) {
    const int column = static_cast<int>(c);
    switch (HeaderRole(first[c], encoding)) {
      case Role::Name:
        if (layout.name < 0) layout.name = column;
        break;
      case Role::Group:
        if (layout.group < 0) layout.group = column;
        break;
      case Role::Number:
        if (layout.number < 0) layout.number = column;
        break;
      case Role::None:
        break;
    }
  }
  if (layout.name >= 0 || layout.group >= 0 || layout.number >= 0) {
    layout.header = true;
    return layout;
  }

  // No header words: what the rows below the first hold tells the columns.
  struct Column {
    int six = 0, digits = 0, text = 0, digitLength = 0;
  };
  std::vector<Column> columns(first.size());
  const std::size_t from = rows.size() > 1 ? 1 : 0;
  const std::size_t to = std::min(rows.size(), from + kSampleRows);
  for (std::size_t r = from; r < to; ++r) {
    const auto& row = RowAt(rows, r);
    if (row.size() > columns.size()) columns.resize(std::min<std::size_t>(row.size(), kImportColumnLimit));
    for (std::size_t c = 0; c < columns.size() && c < row.size(); ++c) {
      const int digits = DigitCount(row[c]);
      if (digits >= 0) {
        ++columns[c].digits;
        columns[c].digitLength += digits;
        columns[c].six += digits == 6;
      } else if (!Trimmed(row[c]).empty()) {
        ++columns[c].text;
      }
    }
  }
  auto mostlyDigits = [&](std::size_t c) { return columns[c].digits > 0 && columns[c].digits >= columns[c].text; };
  // The number: the most six-digit cells, then the longest digits; the later column on a
  // tie, as a number follows its group.
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!mostlyDigits(c)) continue;
    if (layout.number < 0) {
      layout.number = static_cast<int>(c);
      continue;
    }
    const Column& best = columns[static_cast<std::size_t>(layout.number)];
    const long long lengthHere = static_cast<long long>(columns[c].digitLength) * best.digits;
    const long long lengthBest = static_cast<long long>(best.digitLength) * columns[c].digits;
    if (columns[c].six > best.six || (columns[c].six == best.six && lengthHere >= lengthBest)) {
      layout.number = static_cast<int>(c);
    }
  }
  // The group: of the other digit columns, the one most often filled.
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (static_cast<int>(c) == layout.number || !mostlyDigits(c)) continue;
    if (layout.group < 0 || columns[c].digits > columns[static_cast<std::size_t>(layout.group)].digits) {
      layout.group = static_cast<int>(c);
    }
  }
  // The name: the column with the most text; without one, the first column left over.
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const int column = static_cast<int>(c);
    if (column == layout.number || column == layout.group || columns[c].text == 0) continue;
    if (layout.name < 0 || columns[c].text > columns[static_cast<std::size_t>(layout.name)].text) layout.name = column;
  }
  for (std::size_t c = 0; c < columns.size() && layout.name < 0; ++c) {
    const int column = static_cast<int>(c);
    if (column != layout.number && column != layout.group) layout.name = column;
  }
  // The first row names the columns when it holds text where the rows below hold digits.
  auto textAboveDigits = [&](int column) {
    return column >= 0 && !Trimmed(Cell(first, column)).empty() && DigitCount(Cell(first, column)) < 0;
  };
  layout.header = textAboveDigits(layout.number) || textAboveDigits(layout.group);
  return layout;
}

// The lengths of a column's filled cells: digit strings and other texts apart.
struct LengthCounts {
  std::vector<int> digits, others;
  int filled = 0;

  void Add(std::string_view cell) {
    const std::string_view text = Trimmed(cell);
    if (text.empty()) return;
    ++filled;
    const int digitCount = DigitCount(text);
    std::vector<int>& counts = digitCount >= 0 ? digits : others;
    const auto length = static_cast<std::size_t>(digitCount >= 0 ? digitCount : RoughLength(text));
    if (length >= counts.size()) counts.resize(length + 1);
    ++counts[length];
  }

  // The digit length most cells share (more than half of the filled ones), and how many
  // cells are shorter than it.
  void Offer(int& width, int& shorter, bool& allDigits) const {
    std::size_t common = 0;
    for (std::size_t n = 1; n < digits.size(); ++n) {
      if (digits[n] >= digits[common]) common = n;
    }
    if (common == 0 || digits[common] * 2 <= filled) return;
    width = static_cast<int>(common);
    for (std::size_t n = 0; n < common; ++n) {
      if (n < digits.size()) shorter += digits[n];
      if (n < others.size() && others[n] > 0) {
        shorter += others[n];
        allDigits = false;
      }
    }
  }
};

template <class Rows>
PaddingOffer FindShortenedFieldsOf(const Rows& rows, const ImportLayout& layout) {
  PaddingOffer offer;
  LengthCounts numbers, groups;
  for (std::size_t r = layout.header ? 1 : 0; r < rows.size(); ++r) {
    const auto& row = RowAt(rows, r);
    if (layout.number >= 0) numbers.Add(Cell(row, layout.number));
    if (layout.group >= 0) groups.Add(Cell(row, layout.group));
  }
  numbers.Offer(offer.numberWidth, offer.shortNumbers, offer.allDigits);
  groups.Offer(offer.groupWidth, offer.shortGroups, offer.allDigits);
  return offer;
}

// Leading zeros up to `width` for a field of ASCII digits. True when it got some.
bool PadDigits(std::string& field, int width) {
  const auto size = static_cast<int>(field.size());
  if (width <= size || width >= kFieldSize || field.empty()) return false;
  if (!std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  field.insert(0, static_cast<std::size_t>(width - size), '0');
  return true;
}

struct IncomingTicket {
  SearchTarget ticket;
  bool cut, cleaned, folded, padded;
};

template <class Rows>
ImportSummary TakeRows(LotteryStore& store, const Rows& rows, const ImportLayout& layout, ImportMode mode,
                       const FieldConverter& convert) {
  ImportSummary summary;
  summary.duplicatesKept = layout.keepDuplicates;
  if (mode == ImportMode::Replace) store.ClearTargets();
  const std::size_t count = rows.size();
  std::size_t r = 0;
  if (layout.header && count > 0) {
    ++summary.header;
    r = 1;
  }
  std::string texts[3];
  const int columns[3] = {layout.name, layout.group, layout.number};
  std::vector<IncomingTicket> batch;
  std::vector<SearchTarget> tickets;
  while (r < count) {
    const auto room = static_cast<std::size_t>(std::max(0, kMaxTargets - store.TargetCount()));
    if (room == 0) {
      summary.overLimit += static_cast<int>(count - r);  // counted, not read
      break;
    }
    // Up to as many tickets as there is room for, then the duplicate check on them.
    batch.clear();
    while (r < count && batch.size() < room) {
      const auto& row = RowAt(rows, r++);
      bool encodable = true;
      for (int f = 0; f < 3; ++f) {
        const std::string_view cell = Trimmed(Cell(row, columns[f]));
        texts[f].clear();
        if (!cell.empty() && !convert(std::string(cell), texts[f])) encodable = false;
        // A NUL byte ends a text of the store: what follows it cannot be kept.
        texts[f].resize(std::strlen(texts[f].c_str()));
      }
      if (!encodable) {
        ++summary.unencodable;
        continue;
      }
      const IntakeChanges changes = PrepareIncomingTicket(texts[0], texts[1], texts[2]);
      for (std::string& text : texts) text = std::string(Trimmed(text));
      if (texts[0].empty()) {
        ++summary.noName;
        continue;
      }
      IncomingTicket in{};
      in.cleaned = changes.cleaned;
      in.folded = changes.folded;
      in.padded = PadDigits(texts[1], layout.padGroupTo);
      in.padded = PadDigits(texts[2], layout.padNumberTo) || in.padded;
      in.cut = CopyCutCharacters(in.ticket.name, sizeof in.ticket.name, texts[0].c_str());
      in.cut = CopyCutCharacters(in.ticket.group, sizeof in.ticket.group, texts[1].c_str()) || in.cut;
      in.cut = CopyCutCharacters(in.ticket.number, sizeof in.ticket.number, texts[2].c_str()) || in.cut;
      batch.push_back(in);
    }
    tickets.clear();
    for (const IncomingTicket& in : batch) tickets.push_back(in.ticket);
    const std::vector<bool> duplicate = FindDuplicateTickets(store, tickets);
    for (std::size_t i = 0; i < batch.size(); ++i) {
      if (duplicate[i]) {
        ++summary.duplicates;
        if (!layout.keepDuplicates) continue;
      }
      store.AppendTarget(batch[i].ticket);  // a new ticket carries no hit results
      ++summary.added;
      summary.cut += batch[i].cut;
      summary.cleaned += batch[i].cleaned;
      summary.folded += batch[i].folded;
      summary.padded += batch[i].padded;
    }
  }
  return summary;
}

}  // namespace

TextEncoding DetectTextEncoding(std::string_view bytes) {
  if (bytes.substr(0, kBom.size()) == kBom) return TextEncoding::Utf8Bom;
  bool multiByte = false;
  for (std::size_t p = 0; p < bytes.size();) {
    if (static_cast<unsigned char>(bytes[p]) < 0x80) {
      ++p;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(bytes, p);
    if (n == 0) return TextEncoding::Cp932;
    multiByte = multiByte || n > 1;
    p += n;
  }
  return multiByte ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

char DetectSeparator(std::string_view text) {
  int tabs = 0, semicolons = 0, commas = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    tabs += c == '\t';
    semicolons += c == ';';
    commas += c == ',';
  }
  if (tabs > 0 && tabs >= semicolons && tabs >= commas) return '\t';
  return semicolons > commas ? ';' : ',';
}

std::vector<CsvRow> ParseDelimited(std::string_view text, char separator) {
  std::vector<CsvRow> rows;
  CsvRow row;
  for (std::size_t pos = 0; ParseRowAt(text, pos, separator, &row, SIZE_MAX, SIZE_MAX, TextEncoding::Cp932, nullptr);) {
    rows.push_back(std::move(row));
    row.clear();
  }
  return rows;
}

CsvRows::CsvRows(std::string text, std::size_t offset, char separator, TextEncoding encoding)
    : text_(std::move(text)), separator_(separator), encoding_(encoding) {
  const std::string_view view = text_;
  std::size_t fields = 0;
  for (std::size_t pos = offset, start = pos; ParseRowAt(view, pos, separator_, nullptr, 0, 0, encoding_, &fields);
       start = pos) {
    starts_.push_back(static_cast<std::uint32_t>(start));
    columns_ = std::max(columns_, static_cast<int>(std::min<std::size_t>(fields, kImportColumnLimit)));
  }
  starts_.shrink_to_fit();
}

CsvRow CsvRows::operator[](std::size_t i) const {
  if (i == cachedIndex_) return cachedRow_;
  CsvRow row;
  std::size_t pos = starts_[i];
  ParseRowAt(text_, pos, separator_, &row, kImportColumnLimit, kImportFieldLimit, encoding_, nullptr);
  // The first row is asked for again and again (header, guess, preview); a row that
  // is a whole file of commas should be walked once.
  if (i == 0) {
    cachedIndex_ = 0;
    cachedRow_ = row;
  }
  return row;
}

ImportLayout GuessLayout(const std::vector<CsvRow>& rows) { return GuessLayoutOf(rows); }
ImportLayout GuessLayout(const CsvRows& rows) { return GuessLayoutOf(rows); }

PaddingOffer FindShortenedFields(const std::vector<CsvRow>& rows, const ImportLayout& layout) {
  return FindShortenedFieldsOf(rows, layout);
}
PaddingOffer FindShortenedFields(const CsvRows& rows, const ImportLayout& layout) {
  return FindShortenedFieldsOf(rows, layout);
}

ImportSource ReadImportSource(const char* path) {
  ImportSource source;
  PieceReader reader;
  if (!reader.Open(path)) return source;
  std::string text;
  struct stat info {};
  if (::stat(path, &info) == 0 && info.st_size > 0) {
    text.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), kImportFileLimit));
  }
  char piece[kLineBufferSize];
  for (int n; (n = reader.ReadPiece(piece)) > 0;) {
    if (text.size() + static_cast<std::size_t>(n) > kImportFileLimit) return source;
    text.append(piece, static_cast<std::size_t>(n));
  }
  source.readable = true;
  source.encoding = DetectTextEncoding(text);
  std::string_view body = text;
  const std::size_t offset = source.encoding == TextEncoding::Utf8Bom ? kBom.size() : 0;
  body.remove_prefix(offset);
  source.separator = DetectSeparator(body);
  source.rows = CsvRows(std::move(text), offset, source.separator, source.encoding);
  return source;
}

ImportSummary ImportTargets(DataCore& core, const std::vector<CsvRow>& rows, const ImportLayout& layout,
                            ImportMode mode, const FieldConverter& convert) {
  return TakeRows(core.Store(), rows, layout, mode, convert);
}

ImportSummary ImportTargets(DataCore& core, const CsvRows& rows, const ImportLayout& layout, ImportMode mode,
                            const FieldConverter& convert) {
  return TakeRows(core.Store(), rows, layout, mode, convert);
}

ImportSummary PreviewImport(const DataCore& core, const CsvRows& rows, const ImportLayout& layout, ImportMode mode,
                            const FieldConverter& convert) {
  LotteryStore scratch = core.Store();
  return TakeRows(scratch, rows, layout, mode, convert);
}

std::string CsvQuoted(std::string_view field) {
  const bool plain = field.find_first_of(",\"\r\n") == std::string_view::npos &&
                     (field.empty() || (field.front() != ' ' && field.back() != ' '));
  if (plain) return std::string(field);
  std::string out;
  out.reserve(field.size() + 2);
  out.push_back('"');
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

}  // namespace luckyscope
