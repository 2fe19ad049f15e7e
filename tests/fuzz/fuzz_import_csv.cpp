// A spreadsheet file on import, on any bytes: read, layout guessed, rows taken into
// the search targets. Every stored field stays terminated, the table never passes
// 10,000 tickets, every row is accounted for, and each field read back after quoting
// is the same field.

#include <cstddef>
#include <cstdint>
#include <string>

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
  for (const CsvRow& row : source.rows) {
    for (const std::string& field : row) {
      if (field.empty()) continue;
      const std::vector<CsvRow> back = ParseDelimited(CsvQuoted(field) + "\r\n", ',');
      Check(back.size() == 1 && back[0].size() == 1 && back[0][0] == field, "quoting reads back");
    }
  }
  return 0;
}
