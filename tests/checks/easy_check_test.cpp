// The easy check's judging on a store of its own, as every window that judges tickets
// uses it; and the log writer on real files: what the dialog tests cannot reach
// through the dialog (a folder, a pipe nobody reads, a full disk).

#include "checks/easy_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include "tests/checks/check_test_support.h"
#include "tests/system/small_mount.h"
#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

using namespace luckyscope::testing;

TEST(EasyCheckJudgingTest, VerdictsTitlesAndLogLines) {
  auto store = NewStore();
  AppendEntry(*store, Entry(Cp("1等"), {{"*", "123456"}}));
  AppendEntry(*store, Entry(Cp("2等"), {{"07", Cp("＊９")}, {"*", "*99"}}));
  AppendEntry(*store, Entry(std::string(200, 'T'), {{"*", "22222*"}, {"*", "222222"}}));
  AppendEntry(*store, Entry(Cp("下2桁"), {{"*", "*12"}}));
  AppendEntry(*store, Entry(Cp("4等"), {{"*", "*3413"}}));
  struct Case {
    const char* group;
    std::string number;  // two bytes: the last-two-digits step
    VerdictKind kind;
    int matches;
    std::uint32_t entries;
    std::string text;
    std::string log;  // the line for counter 7, without CR LF
  };
  const std::string t126(126, 'T');
  const Case cases[] = {
      {"*", "123456", VerdictKind::Hit, 1, 0b1, Cp("* 123456 当たり！ 1等"), Cp("\"No.00007\",\"\",\"123456\",\"1等\"")},
      {"07", "000099", VerdictKind::Hit, 2, 0b10, Cp("07 000099 当たり！ 2等"), ""},  // two pairs: 256/2-2 bytes
      {"07", Cp("００００１９"), VerdictKind::Hit, 1, 0b10, Cp("07 000019 当たり！ 2等"), ""},
      {"*", "222222", VerdictKind::Hit, 2, 0b100, "* 222222 " + Cp("当たり！ ") + t126, "\"No.00007\",\"\",\"222222\",\"" + t126 + "\""},
      {"12", "000012", VerdictKind::Hit, 1, 0b1000, Cp("12 000012 当たり！ 下2桁"), ""},
      {"*", "555555", VerdictKind::Miss, 0, 0, Cp("* 555555 はずれ！"), Cp("\"No.00007\",\"\",\"555555\",\"×\"")},
      {"", "", VerdictKind::Miss, 0, 0, Cp("  はずれ！"), Cp("\"No.00007\",\"\",\"\",\"×\"")},
      {"*", "12", VerdictKind::Hit, 1, 0b1000, Cp("* 12 当たり！ 下2桁"), ""},
      {"*", "13", VerdictKind::Maybe, 1, 0b10000, Cp("* 13 当たりかも？(上4桁入力)"), ""},
      {"*", Cp("９９"), VerdictKind::Hit, 1, 0b10, Cp("* 99 当たり！ 2等"), ""},
      {"*", "34", VerdictKind::Miss, 0, 0, Cp("* 34 はずれ！"), ""},
  };
  for (const Case& c : cases) {
    const std::string& number = c.number;
    const bool lastTwo = number.size() == 2;
    const EasyVerdict raw = lastTwo ? JudgeLastTwoDigits(*store, number.c_str())
                                    : JudgeTicket(*store, c.group, number.c_str());
    const TicketVerdict shown = lastTwo ? JudgeLastTwo(*store, number) : JudgeFullTicket(*store, c.group, number);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(raw.matches, c.matches);
    EXPECT_EQ(raw.entries, c.entries);
    EXPECT_EQ(shown.kind, c.kind);
    EXPECT_EQ(shown.text, c.text);
    if (!c.log.empty()) {
      EXPECT_EQ(FormatLogLine(7, shown.group, shown.number, shown.result), c.log + "\r\n");
    }
  }
  // A title is cut to its share; nothing of it is kept when the share is gone.
  EXPECT_EQ(TitlesText(*store, EasyVerdict{3, 0b101, false}), Cp("1等 ") + std::string(83, 'T'));
  EXPECT_EQ(TitlesText(*store, EasyVerdict{200, 0b11, false}), " ");
}

TEST(AppendLogLineTest, UnusablePathsAndAFullDisk) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString();
  EXPECT_EQ(AppendLogLine(base.c_str(), "x"), kLogNotOpened) << "a folder";
  const std::string fifo = base + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(AppendLogLine(fifo.c_str(), "x"), kLogNotOpened) << "a pipe nobody reads must not hang the check";
  // A device is no log file; a real full disk fails the write.
  EXPECT_EQ(AppendLogLine("/dev/full", "x\r\n"), kLogNotOpened);
  testing::SmallMount disk(base + "/small", "64k");
  if (!disk.Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.Error();
  disk.Fill("filler");
  EXPECT_EQ(AppendLogLine((disk.Path() + "/check.log").c_str(), std::string(64 * 1024, 'x')), kLogWriteFailed);
}

}  // namespace
}  // namespace luckyscope
