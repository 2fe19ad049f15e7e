// The quote-aware field scanner on any line and separator, checked against a plain
// model of its rule: fields in the same order with the same bytes, every field inside
// the line, and the scan always ends.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/data_files.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

namespace {

// The rule: a field that starts with a quote drops it and starts quoted; a quote
// toggles the quoted state and stays; an unquoted separator ends the field; the end of
// the line ends the last one; a quote as the field's last byte is dropped.
std::vector<std::string> ModelFields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  for (;;) {
    bool quoted = false;
    if (at < line.size() && line[at] == '"') {
      ++at;
      quoted = true;
    }
    std::string field;
    bool more = false;
    while (at < line.size()) {
      const char c = line[at++];
      if (c == separator && !quoted) {
        more = true;
        break;
      }
      if (c == '"') quoted = !quoted;
      field += c;
    }
    if (!field.empty() && field.back() == '"') field.pop_back();
    fields.push_back(field);
    if (!more) return fields;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const char separator = static_cast<char>(data[0]);
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  text = text.substr(0, text.find('\0'));  // the scanner sees a C string
  if (separator == '\0') return 0;         // a NUL separator is never passed

  std::vector<char> line(text.begin(), text.end());
  line.push_back('\0');
  const char* begin = line.data();
  const char* end = line.data() + line.size();

  std::vector<std::string> got;
  CsvFieldState state;
  for (char* field = NextCsvField(line.data(), separator, state); field != nullptr;
       field = NextCsvField(nullptr, separator, state)) {
    Check(field >= begin && field < end, "field outside the line");
    Check(std::memchr(field, '\0', static_cast<std::size_t>(end - field)) != nullptr,
          "field not terminated inside the line");
    got.emplace_back(field);
    Check(got.size() <= line.size(), "the scan does not end");
  }
  Check(!got.empty(), "the first call always yields a field");
  Check(got == ModelFields(text, separator), "fields differ from the rule");
  return 0;
}
