// Hostile data files through the main window, opened and saved with its own commands:
// binary garbage, one line of a megabyte, NUL bytes, bytes that are not CP932, one
// ticket too many, one winning entry and eight pairs too many, paths around the
// 511-byte limit, and names full of '%' and '"'. Each is loaded, cut or refused as
// the program's rules say, shown in the lists, and saved again into a file that loads
// back the same.

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "core/text_util.h"
#include "tests/support/file_test_util.h"
#include "tests/support/main_window_harness.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "ui/cp932_codec.h"
#include "ui/report_list.h"

namespace luckyscope::testing {
namespace {

const QString kUnusable = QStringLiteral("選択されたファイルは使用できません。");
const QString kNotTargets = QStringLiteral("このファイルは検索対象ファイルではないようです。読み込みますか？");
const QString kNotWinning = QStringLiteral("このファイルは当選番号ファイルではないようです。読み込みますか？");

// A string literal with its NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

class BadInput : public MainWindowHarness {
 protected:
  // The open command on a file with these bytes.
  void Open(const std::string& name, const std::string& bytes) {
    PutFile(Path(name), bytes);
    OpenPath(Path(name));
  }
  void OpenPath(const std::string& path) {
    ui_.ExpectOpenDialog().Choose(path);
    form_->Action(QStringLiteral("FileOpen1"))->trigger();
  }
  // The open command on bytes that are plainly no data file: the user is asked and
  // answers Yes.
  void OpenAnyway(const std::string& name, const std::string& bytes) {
    PutFile(Path(name), bytes);
    ui_.ExpectOpenDialog().Choose(Path(name));
    ui_.ExpectMessage(name.ends_with(".ban") ? kNotWinning : kNotTargets).Answer(kAnswerYes);
    form_->Action(QStringLiteral("FileOpen1"))->trigger();
  }
  // The save command into `name`; the bytes written.
  std::string Save(const std::string& name) {
    ui_.ExpectSaveDialog().Choose(Path(name));
    form_->Action(QStringLiteral("FileSave1"))->trigger();
    return GetFile(Path(name));
  }
  int PairRows() const {
    int n = 0;
    for (int j = 0; j < core_.Store().WinningCount(); ++j) n += core_.Store().WinningSlots()[j].pairCount;
    return n;
  }
  // The lists show what the tables hold.
  void ExpectListsMatchTables() {
    EXPECT_EQ(form_->ListView2()->RowCount(), Store().TargetCount());
    EXPECT_EQ(form_->ListView1()->RowCount(), PairRows());
  }
  // Saves both tables and loads the files into a second data core: the same tables.
  // Nothing inside a target's field is escaped, so a '"' there cannot read back as
  // itself; such quotes are made apostrophes first.
  void ExpectSavedFilesLoadBackTheSame() {
    for (int i = 0; i < Store().TargetCount(); ++i) {
      SearchTarget& t = Store().TargetSlots()[i];
      for (char* field : {t.name, t.group, t.number}) {
        for (char* p = field; *p != '\0'; ++p) {
          if (*p == '"') *p = '\'';
        }
      }
    }
    if (Store().TargetCount() > 0) {
      Save("again.dat");
      DataCore other;
      ASSERT_EQ(other.ReadTargetFile(Path("again.dat").c_str()), 0);
      ASSERT_EQ(other.Store().TargetCount(), Store().TargetCount());
      for (int i = 0; i < Store().TargetCount(); ++i) {
        const SearchTarget& a = Store().TargetSlots()[i];
        const SearchTarget& b = other.Store().TargetSlots()[i];
        ASSERT_STREQ(a.name, b.name) << i;
        ASSERT_STREQ(a.group, b.group) << i;
        ASSERT_STREQ(a.number, b.number) << i;
      }
    }
    if (Store().WinningCount() > 0) {
      // Only one table is saved per command: the winning numbers go alone.
      const int targets = Store().TargetCount();
      std::unique_ptr<LotteryStore> keep = std::make_unique<LotteryStore>(Store());
      Store().SetTargetCount(0);
      Save("again.ban");
      Store() = *keep;
      ASSERT_EQ(Store().TargetCount(), targets);
      DataCore other;
      ASSERT_EQ(other.ReadWinningFile(Path("again.ban").c_str()), 0);
      ASSERT_EQ(other.Store().WinningCount(), Store().WinningCount());
      for (int j = 0; j < Store().WinningCount(); ++j) {
        const WinningEntry& a = Store().WinningSlots()[j];
        const WinningEntry& b = other.Store().WinningSlots()[j];
        ASSERT_STREQ(a.title, b.title) << j;
        ASSERT_EQ(a.pairCount, b.pairCount) << j;
        for (int k = 0; k < a.pairCount; ++k) {
          ASSERT_STREQ(a.pairs[k].group, b.pairs[k].group) << j << "/" << k;
          ASSERT_STREQ(a.pairs[k].number, b.pairs[k].number) << j << "/" << k;
        }
      }
    }
  }
};

TEST_F(BadInput, BinaryGarbageLoadsWhatParsesAndSavesCleanly) {
  std::mt19937 random(20240101);
  std::string garbage(256 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  // Some commas and line ends, so that lines and fields come out of it.
  const char specials[] = ",,,\n\n12";
  for (std::size_t i = 0; i < garbage.size(); i += 1 + random() % 40) garbage[i] = specials[random() % 7];

  OpenAnyway("garbage.dat", garbage);
  EXPECT_GT(Store().TargetCount(), 0);
  OpenAnyway("garbage.ban", garbage);
  EXPECT_GT(Store().WinningCount(), 0);
  ExpectListsMatchTables();
  for (int i = 0; i < Store().TargetCount(); ++i) {
    const SearchTarget& t = Store().TargetSlots()[i];
    ASSERT_LT(std::strlen(t.name), sizeof t.name);
    ASSERT_LT(std::strlen(t.group), sizeof t.group);
  }
  // Names holding '"' do not read back as themselves (nothing is escaped in a field);
  // every other name does, and the file has one line per target.
  const std::string saved = Save("again.dat");
  std::size_t lines = 0;
  for (char c : saved) lines += c == '\n';
  EXPECT_EQ(lines, static_cast<std::size_t>(Store().TargetCount()));
  ExpectSavedFilesLoadBackTheSame();
}

TEST_F(BadInput, AMegabyteLineArrivesInPiecesAndNothingRunsOver) {
  std::string line;
  while (line.size() < 1024 * 1024) line += "name,A,123456,";
  Open("long.dat", line);
  // Every piece of 1,022 bytes is taken as a line of its own: each one with three
  // fields is a target.
  int pieces = 0;
  for (std::size_t at = 0; at < line.size(); at += 1022) {
    const std::string piece = line.substr(at, 1022);
    pieces += std::count(piece.begin(), piece.end(), ',') >= 2;
  }
  EXPECT_EQ(Store().TargetCount(), pieces);
  EXPECT_GT(pieces, 1000);
  Open("long.ban", std::string(1024 * 1024, 'x') + "\r\n");
  EXPECT_EQ(Store().WinningCount(), 0);
  Open("commas.ban", std::string(1024 * 1024, ','));
  EXPECT_EQ(Store().WinningCount(), 0);
  ExpectListsMatchTables();
  ExpectSavedFilesLoadBackTheSame();
}

TEST_F(BadInput, NulBytesEndALine) {
  // The text of a line ends at its first NUL: `"a` has no comma, `"c","3","4` is whole.
  OpenAnyway("nul.dat", Bytes("\"a\0b\",\"1\",\"2\"\r\n\"c\",\"3\",\"4\0\"\r\n\"d\",\"5\",\"6\"\r\n"));
  ASSERT_EQ(Store().TargetCount(), 2);
  EXPECT_STREQ(Store().TargetSlots()[0].name, "c");
  EXPECT_STREQ(Store().TargetSlots()[0].number, "4");
  EXPECT_STREQ(Store().TargetSlots()[1].name, "d");
  // "T" loses its count and "B," its count too: both are dropped.
  Open("nul.ban", Bytes("T\0,1\r\nU,1\r\n*,1\r\nB,\0002\r\nV,1\r\nC,3\r\n"));
  ASSERT_EQ(Store().WinningCount(), 2);
  EXPECT_STREQ(Store().WinningSlots()[0].title, "U");
  EXPECT_STREQ(Store().WinningSlots()[1].title, "V");
  EXPECT_STREQ(Store().WinningSlots()[1].pairs[0].group, "C");
  ExpectListsMatchTables();
  ExpectSavedFilesLoadBackTheSame();
}

TEST_F(BadInput, BytesThatAreNotCp932ShowAsReplacementAndStayInTheFile) {
  // A lead byte before a blank, bytes CP932 never uses, and a lead byte at the end.
  const std::string bad = std::string("\x81\x20x\xFF\xFE\xA0", 6);
  const std::string cut = std::string("ab\x82", 3);
  const std::string file = "\"" + bad + "\",\"" + cut + "\",\"1\"\r\n\"" + Cp("山田") + "\",\"01\",\"2\"\r\n";
  Open("bad.dat", file);
  ASSERT_EQ(Store().TargetCount(), 2);
  EXPECT_EQ(std::string(Store().TargetSlots()[0].name), bad);
  EXPECT_TRUE(form_->ListView2()->Text(0, 1).contains(QChar(0xFFFD)));
  EXPECT_TRUE(form_->ListView2()->Text(0, 2).contains(QChar(0xFFFD)));
  EXPECT_EQ(form_->ListView2()->Text(1, 1), QStringLiteral("山田"));
  EXPECT_EQ(Save("again.dat"), file);  // byte for byte
}

TEST_F(BadInput, OneTargetTooManyAndWinningBlocksTooLongAreCut) {
  std::string targets;
  for (int i = 1; i <= kMaxTargets + 1; ++i)
    targets += "\"n" + std::to_string(i) + "\",\"01\",\"" + std::to_string(i) + "\"\r\n";
  Open("many.dat", targets);
  ASSERT_EQ(Store().TargetCount(), kMaxTargets);
  EXPECT_STREQ(Store().TargetSlots()[kMaxTargets - 1].name, "n10000");

  // 33 entries of 40 pairs: each title line takes 32 pair lines; the 8 lines left read
  // as title lines of their own ("g33,100033" asks for 32 more lines), and so on.
  std::string winning;
  for (int j = 1; j <= 33; ++j) {
    winning += Cp("第") + std::to_string(j) + ",40\r\n";
    for (int k = 1; k <= 40; ++k) winning += "g" + std::to_string(k) + "," + std::to_string(100000 + k) + "\r\n";
  }
  Open("many.ban", winning);
  ASSERT_EQ(Store().WinningCount(), kMaxWinningEntries);
  const WinningEntry& first = Store().WinningSlots()[0];
  EXPECT_EQ(first.pairCount, 32);
  EXPECT_STREQ(first.pairs[31].group, "g32");
  EXPECT_STREQ(Store().WinningSlots()[1].title, "g33");
  for (int j = 0; j < Store().WinningCount(); ++j) EXPECT_LE(Store().WinningSlots()[j].pairCount, kMaxPairs);
  ExpectListsMatchTables();
  EXPECT_EQ(form_->ListView2()->Text(kMaxTargets - 1, 0), QStringLiteral("10000"));
  ExpectSavedFilesLoadBackTheSame();
}

TEST_F(BadInput, PathsOfFiveHundredTwelveBytesOrMoreAreRefused) {
  // base/aaa…/bbb…/name.dat, grown to the exact length (a folder name holds at most
  // 255 bytes).
  auto pathOf = [&](std::size_t length) {
    std::string folder = base_;
    std::string path;
    for (char part = 'a';; ++part) {
      const std::size_t left = length - folder.size() - 1;  // after the next '/'
      if (left <= 200) {
        path = folder + "/" + std::string(left - 4, 'n') + ".dat";
        break;
      }
      folder += "/" + std::string(150, part);
      ::mkdir(folder.c_str(), 0755);
    }
    EXPECT_EQ(path.size(), length);
    return path;
  };
  const std::string p511 = pathOf(511), p512 = pathOf(512), p600 = pathOf(600);
  for (const std::string* p : {&p511, &p512, &p600}) PutFile(*p, "\"x\",\"01\",\"1\"\r\n");

  OpenPath(p511);
  EXPECT_EQ(Store().TargetCount(), 1);
  for (const std::string* p : {&p512, &p600}) {
    Store().ClearTargets();
    ui_.ExpectOpenDialog().Choose(*p);
    ui_.ExpectMessage(kUnusable);
    form_->Action(QStringLiteral("FileOpen1"))->trigger();
    EXPECT_EQ(Store().TargetCount(), 0);
  }
  // Saving: 511 bytes is written, longer paths are refused with the same message.
  Store().PutTarget(1, Target("y", "02", "2"));
  Store().SetTargetCount(1);
  ui_.ExpectSaveDialog().Choose(p511);
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  EXPECT_EQ(GetFile(p511), "\"y\",\"02\",\"2\"\r\n");
  for (const std::string* p : {&p512, &p600}) {
    ui_.ExpectSaveDialog().Choose(*p);
    ui_.ExpectMessage(kUnusable);
    form_->Action(QStringLiteral("FileSave1"))->trigger();
    EXPECT_EQ(GetFile(*p), "\"x\",\"01\",\"1\"\r\n");
  }
}

TEST_F(BadInput, PercentSignsAndQuotesAreTextNotFormats) {
  const std::string names = "\"%s%n%d%%%x\",\"%n\",\"%s\"\r\n\"a\"\"b\",\"\"\"\",\"1\"\r\n";
  Open("fmt.dat", names);
  ASSERT_EQ(Store().TargetCount(), 2);
  EXPECT_STREQ(Store().TargetSlots()[0].name, "%s%n%d%%%x");
  EXPECT_EQ(form_->ListView2()->Text(0, 1), QStringLiteral("%s%n%d%%%x"));
  // Doubled quotes are kept as they are, not unescaped.
  EXPECT_STREQ(Store().TargetSlots()[1].name, "a\"\"b");
  Open("fmt.ban", "%s%n,2\r\n%d,%x\r\n#%s,%%\r\n,#title,1\r\n*,1\r\n");
  ASSERT_EQ(Store().WinningCount(), 2);
  EXPECT_STREQ(Store().WinningSlots()[0].title, "%s%n");
  EXPECT_EQ(Store().WinningSlots()[0].pairCount, 1);  // the "#" line is a comment
  EXPECT_STREQ(Store().WinningSlots()[1].title, "#title");
  // Saved with the search results, titles and all stay literal.
  SystemSettings s{};
  s.saveResults = 1;
  core_.SetSettings(s);
  Store().PutTarget(1, Target("%s%n%d", "%d", "%x"));
  core_.RunSearch();
  const std::string saved = Save("fmt-out.dat");
  EXPECT_EQ(saved.substr(0, 26), "\"%s%n%d\",\"%d\",\"%x\",\"%s%n\"\r");
  ExpectSavedFilesLoadBackTheSame();
}

}  // namespace
}  // namespace luckyscope::testing
