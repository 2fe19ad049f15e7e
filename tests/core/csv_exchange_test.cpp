// Reading a spreadsheet's ticket list: rows and quoting, the encoding, separator and
// header guesses, taking rows into the search targets (limit, cuts, append and
// replace), and the quoting of exported fields read back.

#include "core/csv_exchange.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/data_core.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

using Rows = std::vector<CsvRow>;

TEST(CsvExchange, ParsesRowsWithTheirSeparatorAndQuoting) {
  struct Case {
    const char* what;
    std::string text;
    char separator;
    Rows rows;
  };
  const Case cases[] = {
      {"comma, CR LF", "a,b,c\r\nd,e,f\r\n", ',', {{"a", "b", "c"}, {"d", "e", "f"}}},
      {"semicolon, LF, no last line end", "a;b;c\nd;e;f", ';', {{"a", "b", "c"}, {"d", "e", "f"}}},
      {"tab beats commas in fields", "a,1\tb\tc\n", '\t', {{"a,1", "b", "c"}}},
      {"quoted comma and doubled quotes", "\"x, \"\"y\"\"\",g,1\n", ',', {{"x, \"y\"", "g", "1"}}},
      {"quoted line end stays in the field",
       "\"two\r\nlines\",g,1\r\nn,g,2\r\n",
       ',',
       {{"two\r\nlines", "g", "1"}, {"n", "g", "2"}}},
      {"blank lines give no row, empty fields stay", "\r\n,,\r\n\r\nn,,3\r\n", ',', {{"", "", ""}, {"n", "", "3"}}},
      {"quote inside an unquoted field is a character", "a\"b,c\n", ',', {{"a\"b", "c"}}},
      {"separator count ignores quoted text", "\"a;b;c\",d\n", ',', {{"a;b;c", "d"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DetectSeparator(c.text), c.separator);
    EXPECT_EQ(ParseDelimited(c.text, c.separator), c.rows);
  }
}

TEST(CsvExchange, GuessesEncodingAndLayout) {
  struct Case {
    const char* what;
    std::string text;
    TextEncoding encoding;
    ImportLayout layout;
  };
  const Case cases[] = {
      {"UTF-8 with BOM, header words",
       "\xEF\xBB\xBF\xE5\x90\x8D\xE5\x89\x8D,\xE7\xB5\x84,\xE7\x95\xAA\xE5\x8F\xB7\n",
       TextEncoding::Utf8Bom,
       {0, 1, 2, true}},
      {"UTF-8 without BOM, words in another order",
       "\xE7\x95\xAA\xE5\x8F\xB7,\xE6\xB0\x8F\xE5\x90\x8D,Group\n1,\xE5\xB1\xB1,2\n",
       TextEncoding::Utf8,
       {1, 2, 0, true}},
      {"CP932, header words",
       "\x8E\x81\x96\xBC,\x91\x67,\x94\xD4\x8D\x86\r\n\x8E\x52\x93\x63,01,123456\r\n",
       TextEncoding::Cp932,
       {0, 1, 2, true}},
      {"exported list: No. and hit type around", "No.,Name,Group,Number,x\n", TextEncoding::Cp932, {1, 2, 3, true}},
      {"no words, number column not a number", "who,grp,num\nA,1,2\n", TextEncoding::Cp932, {0, 1, 2, true}},
      {"first row is a ticket", "A,01,123456\n", TextEncoding::Cp932, {0, 1, 2, false}},
      {"full-width digits are a number", "A,01,\x82\x50\x82\x51\n", TextEncoding::Cp932, {0, 1, 2, false}},
      {"two columns: name and number", "A,123456\n", TextEncoding::Cp932, {0, -1, 1, false}},
      {"CP932 名前 (前 ends in 'O')",
       "\x96\xBC\x91\x4F,\x91\x67,\x94\xD4\x8D\x86\r\n",
       TextEncoding::Cp932,
       {0, 1, 2, true}},
      {"CP932 くじ番号,宛名",
       "\x82\xAD\x82\xB6\x94\xD4\x8D\x86,\x88\xB6\x96\xBC,\x91\x67\r\n",
       TextEncoding::Cp932,
       {1, 2, 0, true}},
      {"UTF-8 差出人", "\xE5\xB7\xAE\xE5\x87\xBA\xE4\xBA\xBA,NUMBER\n", TextEncoding::Utf8, {0, -1, 1, true}},
      {"number first",
       "123456,\x8E\x52\x93\x63,01\r\n654321,\x8D\xB2\x93\xA1,02\r\n",
       TextEncoding::Cp932,
       {1, 2, 0, false}},
      {"no header, group and number swapped", "A,123456,7\nB,234567,12\n", TextEncoding::Cp932, {0, 2, 1, false}},
      {"unknown words above digits", "x,y,z\nA,01,123456\nB,02,234567\n", TextEncoding::Cp932, {0, 1, 2, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DetectTextEncoding(c.text), c.encoding);
    std::string_view body = c.text;
    if (c.encoding == TextEncoding::Utf8Bom) body.remove_prefix(3);
    const ImportLayout got = GuessLayout(ParseDelimited(body, DetectSeparator(body)));
    EXPECT_EQ(got.name, c.layout.name);
    EXPECT_EQ(got.group, c.layout.group);
    EXPECT_EQ(got.number, c.layout.number);
    EXPECT_EQ(got.header, c.layout.header);
  }
}

// CP932 field text is taken as it is; "?" stands for text CP932 cannot hold.
bool TestConverter(const std::string& field, std::string& out) {
  out = field;
  return field.find('?') == std::string::npos;
}

std::vector<std::string> Names(const DataCore& core) {
  std::vector<std::string> names;
  SearchTarget t{};
  for (int n = 1; n <= core.Store().TargetCount(); ++n) {
    core.Store().GetTarget(1, n, t);
    names.push_back(std::string(t.name) + "|" + t.group + "|" + t.number);
  }
  return names;
}

TEST(CsvExchange, TakesRowsIntoTheSearchTargets) {
  std::string wideName;
  for (int i = 0; i < 150; ++i) wideName += "\x88\x9F";  // 300 bytes of 亜
  struct Case {
    const char* what;
    Rows rows;
    ImportLayout layout;
    ImportMode mode;
    std::vector<std::string> expected;  // all tickets afterwards
    ImportSummary summary;
  };
  const Case cases[] = {
      {"append after the tickets there, header skipped",
       {{"name", "group", "number"}, {" b ", "02", "222"}},
       {0, 1, 2, true},
       ImportMode::Append,
       {"a|01|111", "b|02|222"},
       {1, 1, 0, 0, 0, 0}},
      {"replace; refused rows counted by reason",
       {{"b", "02", "222"}, {"?", "1", "2"}, {"", "3", "4"}, {"c", "", ""}},
       {0, 1, 2, false},
       ImportMode::Replace,
       {"b|02|222", "c||"},
       {2, 0, 1, 1, 0, 0}},
      {"columns as chosen, missing ones empty",
       {{"9", "x", "y"}},
       {2, -1, 0, false},
       ImportMode::Replace,
       {"y||9"},
       {1, 0, 0, 0, 0, 0}},
      {"a NUL byte ends a field",
       {{std::string("d\0e", 3), "1", "2"}, {std::string("\0f", 2), "3", "4"}},
       {0, 1, 2, false},
       ImportMode::Replace,
       {"d|1|2"},
       {1, 0, 0, 1, 0, 0}},
      {"cut on a character boundary",
       {{wideName, "0123456789ABCDEFG", "1"}},
       {0, 1, 2, false},
       ImportMode::Replace,
       {wideName.substr(0, 254) + "|0123456789ABCDE|1"},
       {1, 0, 0, 0, 0, 1}},
      {"quotes out, line ends as blanks, full-width digits folded",
       {{"say \"hi\"", "0\x82\x50", "12\r\n34"}, {"\n", "1", "2"}, {"\x82\x50", "\x82\x51", "\x81\x96\x82\x52"}},
       {0, 1, 2, false},
       ImportMode::Replace,
       {"say hi|01|12  34", "\x82\x50|2|*3"},
       {2, 0, 0, 1, 0, 0, 1, 2}},
      {"padded as the layout asks, only digit strings",
       {{"b", "1", "1234"}, {"c", "12", "12a"}, {"d", "", "123456"}},
       {0, 1, 2, false, 6, 2},
       ImportMode::Replace,
       {"b|01|001234", "c|12|12a", "d||123456"},
       {3, 0, 0, 0, 0, 0, 0, 0, 1}},
      {"tickets there or earlier in the file are skipped",
       {{"b", "01", "111"}, {"c", "", "111"}, {"d", "02", "222"}, {"e", "02", "222"}, {"f", "03", "333"}},
       {0, 1, 2, false},
       ImportMode::Append,
       {"a|01|111", "d|02|222", "f|03|333"},
       {2, 0, 0, 0, 0, 0, 0, 0, 0, 3}},
      {"... or kept when the user asks",
       {{"b", "01", "111"}},
       {0, 1, 2, false, 0, 0, true},
       ImportMode::Append,
       {"a|01|111", "b|01|111"},
       {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DataCore core;
    core.Store().ClearTargets();
    core.Store().PutTarget(1, testing::Target("a", "01", "111"));
    core.Store().SetTargetHits(1, 1, 1);
    core.Store().SetTargetCount(1);
    const ImportSummary got = ImportTargets(core, c.rows, c.layout, c.mode, TestConverter);
    EXPECT_EQ(Names(core), c.expected);
    EXPECT_EQ(got.added, c.summary.added);
    EXPECT_EQ(got.header, c.summary.header);
    EXPECT_EQ(got.unencodable, c.summary.unencodable);
    EXPECT_EQ(got.noName, c.summary.noName);
    EXPECT_EQ(got.cut, c.summary.cut);
    EXPECT_EQ(got.cleaned, c.summary.cleaned);
    EXPECT_EQ(got.folded, c.summary.folded);
    EXPECT_EQ(got.padded, c.summary.padded);
    EXPECT_EQ(got.duplicates, c.summary.duplicates);
    EXPECT_EQ(core.Store().TargetsChanged(), 1);
    SearchTarget last{};
    core.Store().GetTarget(1, core.Store().TargetCount(), last);
    EXPECT_EQ(last.hit, 0) << "a new ticket carries no hit result";
  }
}

TEST(CsvExchange, OffersToPadWhatASpreadsheetShortened) {
  struct Case {
    const char* what;
    const char* text;
    ImportLayout layout;
    PaddingOffer offer;
  };
  const Case cases[] = {
      {"numbers cut to four and five digits, groups to one",
       "n,g,num\na,01,001234\nb,1,1234\nc,12,87403\nd,5,123456\ne,02,234567\n",
       {0, 1, 2, true},
       {6, 2, 2, 2}},
      {"two-digit groups most often", "a,01,123456\nb,1,234567\nc,12,345678\n", {0, 1, 2}, {6, 0, 2, 1}},
      {"a short one that is not all digits",
       "a,,123456\nb,,234567\nc,,345678\nd,,8740O\ne,,\xEF\xBC\x91\xEF\xBC\x92\n",
       {0, 1, 2},
       {6, 2, 0, 0, false}},
      {"no common length: other lotteries stay as they are", "a,,1\nb,,12\nc,,123\nd,,1234\n", {0, 1, 2}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PaddingOffer got = FindShortenedFields(ParseDelimited(c.text, ','), c.layout);
    EXPECT_EQ(got.numberWidth, c.offer.numberWidth);
    EXPECT_EQ(got.shortNumbers, c.offer.shortNumbers);
    EXPECT_EQ(got.groupWidth, c.offer.groupWidth);
    EXPECT_EQ(got.shortGroups, c.offer.shortGroups);
    EXPECT_EQ(got.allDigits, c.offer.allDigits);
  }
}

TEST(CsvExchange, TheTenThousandLimitHoldsWithACount) {
  Rows rows;
  for (int i = 1; i <= kMaxTargets + 1; ++i) rows.push_back({"n" + std::to_string(i), "01", std::to_string(i)});
  DataCore core;
  core.Store().ClearTargets();
  const ImportSummary first = ImportTargets(core, rows, {0, 1, 2, false}, ImportMode::Append, TestConverter);
  EXPECT_EQ(first.added, kMaxTargets);
  EXPECT_EQ(first.overLimit, 1);
  EXPECT_EQ(core.Store().TargetCount(), kMaxTargets);
  EXPECT_EQ(Names(core).back(), "n10000|01|10000");
  const ImportSummary more =
      ImportTargets(core, {{"x", "1", "2"}}, {0, 1, 2, false}, ImportMode::Append, TestConverter);
  EXPECT_EQ(more.added, 0);
  EXPECT_EQ(more.overLimit, 1);
}

TEST(CsvExchange, QuotedFieldsReadBackAsWritten) {
  const std::vector<std::string> fields = {"plain", "", "a,b", "say \"hi\"", "two\r\nlines", " blank ", "x;y\tz"};
  std::string line;
  for (const std::string& f : fields) line += (line.empty() ? "" : ",") + CsvQuoted(f);
  EXPECT_EQ(CsvQuoted("plain"), "plain");
  EXPECT_EQ(CsvQuoted("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvQuoted("say \"hi\""), "\"say \"\"hi\"\"\"");
  const Rows rows = ParseDelimited(line + "\r\n", ',');
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], fields);
}

}  // namespace
}  // namespace luckyscope
