// The help file reader on any bytes, in the process itself: opening, the default
// topic and the object lookup must neither crash nor read out of bounds; the
// "/#SYSTEM" record parser and the contents parser also take the raw bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_support.h"
#include "ui/chm_reader.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile input;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (int code : {0, 2, 3}) (void)ChmReader::SystemRecord(bytes, code);
  (void)ChmReader::FirstContentsPage(bytes);

  ChmReader reader;
  if (reader.OpenInProcess(input.Put(data, size))) {
    if (!reader.DefaultTopic().empty()) {
      const std::string page = reader.DefaultTopic().substr(0, reader.DefaultTopic().find('#'));
      Check(reader.ReadObject(page).has_value(), "the default topic names no page of the file");
    }
  } else {
    Check(!reader.IsOpen() && reader.ObjectCount() == 0, "a refused file leaves an empty reader");
  }
  return 0;
}
