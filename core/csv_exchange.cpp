#include "core/csv_exchange.h"

#include <algorithm>
#include <cstring>

#include "core/data_core.h"
#include "core/file_io.h"
#include "core/text_util.h"

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

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool HasAny(const std::string& text, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return text.find(w) != std::string::npos; });
}

// The header words, each in UTF-8 and in CP932.
enum class Role { None, Name, Group, Number };

Role HeaderRole(std::string_view cell) {
  const std::string text = LowerAscii(Trimmed(cell));
  if (HasAny(text, {"\xE7\x95\xAA\xE5\x8F\xB7", "\x94\xD4\x8D\x86", "number"})) return Role::Number;
  if (HasAny(text, {"\xE5\x90\x8D\xE5\x89\x8D", "\x96\xBC\x91\x4F", "\xE6\xB0\x8F\xE5\x90\x8D", "\x8E\x81\x96\xBC",
                    "name"})) {
    return Role::Name;
  }
  if (HasAny(text, {"\xE7\xB5\x84", "\x91\x67", "group"})) return Role::Group;
  return Role::None;
}

// ASCII digits, or full-width digits in UTF-8 (EF BC 90..99) or CP932 (82 4F..58).
bool IsNumberText(std::string_view cell) {
  const std::string_view text = Trimmed(cell);
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size();) {
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
      return false;
    }
  }
  return true;
}

const std::string& Cell(const CsvRow& row, int column) {
  static const std::string empty;
  return column >= 0 && static_cast<std::size_t>(column) < row.size() ? row[static_cast<std::size_t>(column)] : empty;
}

}  // namespace

TextEncoding DetectTextEncoding(std::string_view bytes) {
  if (bytes.substr(0, kBom.size()) == kBom) return TextEncoding::Utf8Bom;
  bool multiByte = false;
  for (std::size_t p = 0; p < bytes.size();) {
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
  std::string field;
  bool quoted = false;      // inside a quoted field
  bool rowStarted = false;  // the row has a field or a separator so far
  auto endField = [&] {
    row.push_back(std::move(field));
    field.clear();
  };
  auto endRow = [&] {
    if (rowStarted || !field.empty()) {
      endField();
      rows.push_back(std::move(row));
    }
    row.clear();
    field.clear();
    rowStarted = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field.push_back(c);
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
      rowStarted = true;
    } else if (c == separator) {
      endField();
      rowStarted = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRow();
    } else {
      field.push_back(c);
    }
  }
  endRow();
  return rows;
}

ImportLayout GuessLayout(const std::vector<CsvRow>& rows) {
  ImportLayout layout;
  if (rows.empty()) return layout;
  const CsvRow& first = rows.front();
  for (std::size_t c = 0; c < first.size(); ++c) {
    const int column = static_cast<int>(c);
    switch (HeaderRole(first[c])) {
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
  std::size_t columns = 0;
  for (const CsvRow& row : rows) columns = std::max(columns, row.size());
  if (columns >= 3) {
    layout = {0, 1, 2, false};
  } else if (columns == 2) {
    layout = {0, -1, 1, false};
  } else {
    layout = {0, -1, -1, false};
  }
  const std::string& number = Cell(first, layout.number);
  layout.header = !Trimmed(number).empty() && !IsNumberText(number);
  return layout;
}

ImportSource ReadImportSource(const char* path) {
  ImportSource source;
  PieceReader reader;
  if (!reader.Open(path)) return source;
  std::string text;
  char piece[kLineBufferSize];
  for (int n; (n = reader.ReadPiece(piece)) > 0;) {
    if (text.size() + static_cast<std::size_t>(n) > kImportFileLimit) return source;
    text.append(piece, static_cast<std::size_t>(n));
  }
  source.readable = true;
  source.encoding = DetectTextEncoding(text);
  std::string_view body = text;
  if (source.encoding == TextEncoding::Utf8Bom) body.remove_prefix(kBom.size());
  source.separator = DetectSeparator(body);
  source.rows = ParseDelimited(body, source.separator);
  return source;
}

ImportSummary ImportTargets(DataCore& core, const std::vector<CsvRow>& rows, const ImportLayout& layout,
                            ImportMode mode, const FieldConverter& convert) {
  ImportSummary summary;
  LotteryStore& store = core.Store();
  if (mode == ImportMode::Replace) store.ClearTargets();
  std::string texts[3];
  const int columns[3] = {layout.name, layout.group, layout.number};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r == 0 && layout.header) {
      ++summary.header;
      continue;
    }
    bool encodable = true;
    for (int f = 0; f < 3; ++f) {
      const std::string_view cell = Trimmed(Cell(rows[r], columns[f]));
      texts[f].clear();
      if (!cell.empty() && !convert(std::string(cell), texts[f])) encodable = false;
      // A NUL byte ends a text of the store: what follows it cannot be kept.
      texts[f].resize(std::strlen(texts[f].c_str()));
    }
    if (!encodable) {
      ++summary.unencodable;
      continue;
    }
    if (texts[0].empty()) {
      ++summary.noName;
      continue;
    }
    if (store.TargetCount() >= kMaxTargets) {
      ++summary.overLimit;
      continue;
    }
    SearchTarget ticket{};
    bool cut = CopyCutCharacters(ticket.name, sizeof ticket.name, texts[0].c_str());
    cut = CopyCutCharacters(ticket.group, sizeof ticket.group, texts[1].c_str()) || cut;
    cut = CopyCutCharacters(ticket.number, sizeof ticket.number, texts[2].c_str()) || cut;
    summary.cut += cut ? 1 : 0;
    store.AppendTarget(ticket);  // a new ticket carries no hit results
    ++summary.added;
  }
  return summary;
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
