// The search-target reader on any bytes: it stores at most 10,000 targets with every
// field terminated inside its width, and what it stored saves again as one line per
// target.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/data_core.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

namespace {

std::string ReadWhole(const std::string& path) {
  std::string out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input;
  static DataCore* core = new DataCore();  // 3 MB of tables: made once
  static const std::string saved = ScratchFolder() + "/t.dat";

  Check(core->ReadTargetFile(input.Put(data, size)) == 0, "a readable file must load");
  const LotteryStore& store = core->Store();
  const int count = store.TargetCount();
  Check(count >= 0 && count <= kMaxTargets, "target count out of range");
  Check(store.TargetsChanged() == 0, "a loaded table is not unsaved");
  for (int i = 0; i < count; ++i) {
    const SearchTarget& t = store.TargetSlots()[i];
    Check(Terminated(t.name, sizeof t.name) && Terminated(t.group, sizeof t.group) &&
              Terminated(t.number, sizeof t.number),
          "field not terminated");
    Check(t.hit == 0 && t.hitMask == 0, "saved results are not read back");
  }

  const int written = core->WriteTargetFile(saved.c_str());
  if (count == 0) {
    Check(written == -3, "an empty table writes nothing");
    return 0;
  }
  Check(written == 0, "the table must save");
  // Fields never hold a line feed, so the file has exactly one CR LF line per target.
  const std::string file = ReadWhole(saved);
  std::size_t lines = 0;
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '\n') {
      Check(i > 0 && file[i - 1] == '\r', "line without CR LF");
      ++lines;
    }
  }
  Check(lines == static_cast<std::size_t>(count), "saved line count differs from the table");
  Check(!file.empty() && file.back() == '\n', "saved file does not end with its line end");
  return 0;
}
