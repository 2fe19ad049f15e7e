// The kind of a comma-separated file from its first line, on any bytes.

#include <cstddef>
#include <cstdint>

#include "core/data_core.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input;
  static DataCore* core = new DataCore();
  const int kind = core->SniffCsvFile(input.Put(data, size));
  Check(kind == kTargetFile || kind == kWinningFile || kind == kUnusableFile, "unknown kind");
  if (size == 0) Check(kind == kUnusableFile, "an empty file has no kind");
  return 0;
}
