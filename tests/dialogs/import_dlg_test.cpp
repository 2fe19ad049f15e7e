// Import from files as spreadsheets write them: each encoding and separator, quoting,
// text CP932 cannot hold, the 10,000 limit; and the dialog's guess changed by the user.

#include "dialogs/import_dlg.h"

#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/data_core.h"
#include "core/data_files.h"
#include "core/file_io.h"
#include "tests/support/cp932_text.h"
#include "tests/support/file_test_util.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "tests/support/test_application.h"
#include "ui/cp932_codec.h"

namespace luckyscope {
namespace {

using testing::Cp;

// "name|group|number" of every ticket, in UTF-8.
QStringList Tickets(const DataCore& core) {
  QStringList out;
  SearchTarget t{};
  for (int n = 1; n <= core.Store().TargetCount(); ++n) {
    core.Store().GetTarget(0, n, t);
    out << FromCp932(t.name) + QLatin1Char('|') + FromCp932(t.group) + QLatin1Char('|') + FromCp932(t.number);
  }
  return out;
}

// The tickets' bytes, as the table holds them.
std::vector<std::string> RawTickets(const LotteryStore& store) {
  std::vector<std::string> out;
  SearchTarget t{};
  for (int n = 1; n <= store.TargetCount(); ++n) {
    store.GetTarget(0, n, t);
    out.push_back(std::string(t.name) + '\x01' + t.group + '\x01' + t.number);
  }
  return out;
}

class ImportFileTest : public ::testing::Test {
 protected:
  std::string PutCsv(const std::string& bytes) {
    const std::string path = QFile::encodeName(dir_.filePath(QStringLiteral("in.csv"))).toStdString();
    testing::PutFile(path, bytes);
    return path;
  }

  ApplicationFirst application_;
  QTemporaryDir dir_;
};

TEST_F(ImportFileTest, ReadsEachKindOfSpreadsheetFile) {
  std::string many = "name,group,number\r\n";
  for (int i = 1; i <= 10001; ++i) many += "n" + std::to_string(i) + ",01," + std::to_string(i) + "\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    TextEncoding encoding;
    int added;
    int unencodable;
    int overLimit;
    QStringList first;  // the first tickets
  };
  const Case cases[] = {
      {"UTF-8 with BOM and a header",
       "\xEF\xBB\xBF名前,組,番号\r\n山田 太郎,01,123456\r\n①～×,02,654321\r\n",
       TextEncoding::Utf8Bom,
       2,
       0,
       0,
       {"山田 太郎|01|123456", "①～×|02|654321"}},
      {"UTF-8 without BOM, semicolons",
       "氏名;組;番号\n佐藤;03;111111\n",
       TextEncoding::Utf8,
       1,
       0,
       0,
       {"佐藤|03|111111"}},
      {"CP932, tabs, no header",
       Cp("鈴木\t04\t222222\r\nｶﾀｶﾅ\t05\t333333\r\n"),
       TextEncoding::Cp932,
       2,
       0,
       0,
       {"鈴木|04|222222", "ｶﾀｶﾅ|05|333333"}},
      {"quoted fields with commas; quotes taken out",
       "名前,組,番号\n\"田中, \"\"たなか\"\"\",06,444444\n",
       TextEncoding::Utf8,
       1,
       0,
       0,
       {"田中, たなか|06|444444"}},
      {"a row CP932 cannot hold is refused, not garbled",
       "名前,組,番号\nJosé,07,1\n😀,08,2\n〜波,09,3\n高橋,10,4\n",
       TextEncoding::Utf8,
       1,
       3,
       0,
       {"高橋|10|4"}},
      {"10,001 rows: the limit holds", many, TextEncoding::Cp932, 10000, 0, 1, {"n1|01|1", "n2|01|2"}},
      {"a name of 100,000 bytes is cut, not copied whole",
       "名前,組,番号\n" + std::string(100000, 'x') + ",01,123456\n",
       TextEncoding::Utf8,
       1,
       0,
       0,
       {QString(255, QLatin1Char('x')) + QStringLiteral("|01|123456")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = QFile::encodeName(dir_.filePath(QStringLiteral("in.csv"))).toStdString();
    testing::PutFile(path, c.bytes);
    const ImportSource source = ReadImportSource(path.c_str());
    ASSERT_TRUE(source.readable);
    EXPECT_EQ(source.encoding, c.encoding);
    DataCore core;
    core.Store().ClearTargets();
    const ImportSummary summary = ImportTargets(core, source.rows, GuessLayout(source.rows), ImportMode::Replace,
                                                ImportFieldConverter(source.encoding));
    EXPECT_EQ(summary.added, c.added);
    EXPECT_EQ(summary.unencodable, c.unencodable);
    EXPECT_EQ(summary.overLimit, c.overLimit);
    EXPECT_EQ(Tickets(core).mid(0, c.first.size()), c.first);
  }
}

TEST_F(ImportFileTest, DialogShowsTheGuessAndTakesTheUsersChoice) {
  ScriptedUiServices ui;
  DataCore core;
  TImportDlg dialog(core, ui);
  const std::string path = QFile::encodeName(dir_.filePath(QStringLiteral("list.csv"))).toStdString();
  testing::PutFile(path, "No.,番号,組,名前\r\n1,123456,01,山田\r\n2,654321,02,佐藤\r\n");
  ASSERT_TRUE(dialog.Prepare(path));
  EXPECT_EQ(dialog.Preview()->rowCount(), 3);
  EXPECT_EQ(dialog.Preview()->item(1, 3)->text(), QStringLiteral("山田"));
  EXPECT_EQ(dialog.NameBox()->currentText(), QStringLiteral("4列目「名前」"));
  EXPECT_EQ(dialog.NumberBox()->currentIndex(), 2);
  EXPECT_TRUE(dialog.HeaderBox()->isChecked());
  // The user takes the No. column as the number and has the header read as a ticket.
  dialog.NumberBox()->setCurrentIndex(1);
  dialog.GroupBox()->setCurrentIndex(0);
  dialog.HeaderBox()->setChecked(false);
  const ImportLayout layout = dialog.Layout();
  EXPECT_EQ(layout.name, 3);
  EXPECT_EQ(layout.group, -1);
  EXPECT_EQ(layout.number, 0);
  EXPECT_FALSE(layout.header);

  // A file with nothing in it, and one that is not there, are told and go no further.
  testing::PutFile(path, "\r\n\r\n");
  ui.ExpectMessage(QStringLiteral("取り込める行がありません。\n") + QString::fromStdString(path), kMessageCaption);
  EXPECT_FALSE(dialog.Prepare(path));
  ui.ExpectMessage(QStringLiteral("ファイルを読み込めませんでした。\n") + QString::fromStdString(path + "x"));
  EXPECT_FALSE(dialog.Prepare(path + "x"));
}

TEST_F(ImportFileTest, EveryImportedTicketComesBackFromTheSavedFile) {
  struct Case {
    const char* what;
    std::string bytes;
    QStringList tickets;
  };
  const Case cases[] = {
      {"quotes and line breaks inside fields",
       "名前,組,番号\r\n\"山\"\"田\",01,123456\r\n\"二\r\n行\",02,\"2345\"\"67\"\r\n",
       {"山田|01|123456", "二 行|02|234567"}},
      {"full-width digits, no header",
       Cp("佐藤,０１,１２３４５６\r\n鈴木,０２,２３４５６７\r\n"),
       {"佐藤|01|123456", "鈴木|02|234567"}},
      {"CP932 header 名前,組,番号", Cp("名前,組,番号\r\n山田,01,123456\r\n"), {"山田|01|123456"}},
      {"UTF-8 header in another order", "\xEF\xBB\xBF番号,宛名,組\n123456,田中,03\n", {"田中|03|123456"}},
      {"no header, columns in another order", "123456,山田,01\n234567,佐藤,02\n", {"山田|01|123456", "佐藤|02|234567"}},
      {"numbers and groups a spreadsheet shortened",
       "名前,組,番号\n山田,1,1234\n佐藤,02,234567\n鈴木,03,345678\n",
       {"山田|01|001234", "佐藤|02|234567", "鈴木|03|345678"}},
  };
  const std::string saved = QFile::encodeName(dir_.filePath(QStringLiteral("list.dat"))).toStdString();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ImportSource source = ReadImportSource(PutCsv(c.bytes).c_str());
    ImportLayout layout = GuessLayout(source.rows);
    const PaddingOffer offer = FindShortenedFields(source.rows, layout);
    if (offer.allDigits) {
      layout.padNumberTo = offer.numberWidth;
      layout.padGroupTo = offer.groupWidth;
    }
    DataCore core;
    ImportTargets(core, source.rows, layout, ImportMode::Replace, ImportFieldConverter(source.encoding));
    EXPECT_EQ(Tickets(core), c.tickets);
    ASSERT_EQ(WriteTargetFile(core.Store(), saved.c_str(), false, nullptr), kFileDone);
    DataCore back;
    ReadTargetFile(back.Store(), saved.c_str());
    EXPECT_EQ(RawTickets(back.Store()), RawTickets(core.Store()));
  }
}

TEST_F(ImportFileTest, DialogCountsShortenedNumbersAndTicketsAlreadyThere) {
  struct Case {
    const char* what;
    std::string bytes;
    QString counts;
    bool padOffered, padOn, keepOffered;
    int padNumberTo;
  };
  const Case cases[] = {
      {"nothing to tell", "名前,組,番号\n山田,01,234567\n", "", false, false, false, 0},
      {"a shortened number: padding on", "名前,組,番号\n山田,01,234567\n佐藤,02,1234\n鈴木,03,345678\n",
       "番号が6桁に足りない行: 1件（表計算ソフトで先頭の0が落ちたのかもしれません）", true, true, false, 6},
      {"a short one with a letter: padding offered, off",
       "名前,組,番号\n山田,01,234567\n佐藤,02,8740O\n鈴木,03,345678\n",
       "番号が6桁に足りない行: 1件（表計算ソフトで先頭の0が落ちたのかもしれません）", true, false, false, 0},
      {"a ticket already in the list", "名前,組,番号\n山田,01,123456\n佐藤,02,234567\n",
       "すでに一覧にある券、またはファイルの中で重なる券: 1件", false, false, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUiServices ui;
    DataCore core;
    core.Store().AppendTarget(testing::Target("a", "01", "123456"));
    TImportDlg dialog(core, ui);
    ASSERT_TRUE(dialog.Prepare(PutCsv(c.bytes)));
    EXPECT_EQ(dialog.CountsLabel()->text(), c.counts);
    EXPECT_EQ(!dialog.PadBox()->isHidden(), c.padOffered);
    EXPECT_EQ(dialog.PadBox()->isChecked(), c.padOn);
    EXPECT_EQ(!dialog.KeepDuplicatesBox()->isHidden(), c.keepOffered);
    EXPECT_EQ(dialog.Layout().padNumberTo, c.padNumberTo);
  }
}

TEST(ImportSummaryText, SaysWhatCameInAndWhyRowsDidNot) {
  EXPECT_EQ(ImportSummaryText({3, 0, 0, 0, 0, 0}), QStringLiteral("3件の検索対象を取り込みました。"));
  EXPECT_EQ(ImportSummaryText({10000, 1, 2, 1, 5, 4}),
            QStringLiteral("10000件の検索対象を取り込みました。\n先頭の見出し行は読み飛ばしました。\n"
                           "取り込まなかった行: 8件\n・シフトJIS（CP932）で表せない文字を含む行: 2件\n"
                           "・名前が空の行: 1件\n・上限の10000件を超えた行: 5件\n"
                           "長すぎる項目を切り詰めた検索対象: 4件"));
  EXPECT_EQ(ImportSummaryText({5, 0, 0, 0, 0, 0, 1, 2, 3, 4}),
            QStringLiteral("5件の検索対象を取り込みました。\n取り込まなかった行: 4件\n・すでにある券と重なる行: 4件\n"
                           "「\"」や改行を取り除いた検索対象: 1件\n全角の数字を半角にした検索対象: 2件\n"
                           "先頭に0を補った検索対象: 3件"));
}

}  // namespace
}  // namespace luckyscope
