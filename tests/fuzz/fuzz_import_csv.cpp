// A spreadsheet file on import, on any bytes: read, layout guessed, rows taken into
// the search targets. Every stored field stays terminated, the table never passes
// 10,000 tickets, every row is accounted for, and each field read back after quoting
// is the same field.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/csv_exchange.h"
#include "core/data_core.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input;
  static DataCore* core = new DataCore();
  const ImportSource source = ReadImportSource(input.Put(data, size));
  Check(source.readable, "a regular file reads");
  const ImportLayout layout = GuessLayout(source.rows);
  // Bytes 0xFF stand for text CP932 cannot hold.
  const FieldConverter convert = [](const std::string& field, std::string& out) {
    out = field;
    return field.find('\xFF') == std::string::npos;
  };
  core->Store().ClearTargets();
  const ImportSummary s = ImportTargets(*core, source.rows, layout, ImportMode::Append, convert);
  const int accounted = s.added + s.header + s.unencodable + s.noName + s.overLimit + s.duplicates;
  Check(accounted == static_cast<int>(source.rows.size()), "every row is counted once");
  Check(core->Store().TargetCount() == s.added && s.added <= kMaxTargets, "count and limit");
  SearchTarget t{};
  for (int n = 1; n <= core->Store().TargetCount(); ++n) {
    core->Store().GetTarget(0, n, t);
    Check(Terminated(t.name, sizeof t.name) && Terminated(t.group, sizeof t.group) &&
              Terminated(t.number, sizeof t.number),
          "fields terminated");
    Check(t.name[0] != '\0', "a stored ticket has a name");
  }
  // Rows parsed when asked for are the rows of the whole text, within the kept widths.
  std::string text(reinterpret_cast<const char*>(data), size);
  for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos;) text.erase(p, 1);  // as the reader does
  if (source.encoding == TextEncoding::Utf8Bom) text.erase(0, 3);
  const std::vector<CsvRow> whole = ParseDelimited(text, source.separator);
  Check(whole.size() == source.rows.size(), "the same rows");
  for (std::size_t r = 0; r < whole.size(); ++r) {
    const CsvRow row = source.rows[r];
    Check(row.size() == std::min<std::size_t>(whole[r].size(), kImportColumnLimit), "fields kept");
    for (std::size_t f = 0; f < row.size(); ++f) {
      Check(whole[r][f].compare(0, row[f].size(), row[f]) == 0 &&
                (row[f].size() == whole[r][f].size() || whole[r][f].size() > kImportFieldLimit),
            "a field is whole, or cut only past the limit");
    }
  }
  for (const CsvRow& row : source.rows) {
    for (const std::string& field : row) {
      if (field.empty()) continue;
      const std::vector<CsvRow> back = ParseDelimited(CsvQuoted(field) + "\r\n", ',');
      Check(back.size() == 1 && back[0].size() == 1 && back[0][0] == field, "quoting reads back");
    }
  }
  return 0;
}
