// The commands that exchange tickets with other tools, in the real main window: import
// (append, replace after the save question, cancel), export of the list as shown and
// its import back, the PDF read back as text, copy of the selected rows, and failures.

#include <string>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "tests/support/file_test_util.h"
#include "tests/support/list_gestures.h"
#include "tests/support/main_window_harness.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

const QString kSaveTargets = QStringLiteral("現在の検索対象データをセーブしますか？");

class ExchangeTest : public testing::MainWindowHarness {
 protected:
  // Three tickets, one with text that needs quoting; 1等 hits 山田 and "鈴木, ""三郎""".
  void LoadSample() {
    AddTarget("山田", "01", "123456");
    AddTarget("佐藤①ｶﾅ", "02", "222222");
    AddTarget("鈴木, \"三郎\"", "03", "333456");
    AddEntry("1等", {{"*", "*456"}});
    AddEntry("2等", {{"09", "999999"}});
    core_.RunSearch();
    Store().SetTargetsChanged(0);
    Store().SetWinningChanged(0);
    form_->FillWinningList(0);
    form_->FillSearchList(FillMode::ShowAll, 0);
  }

  // Presses a button of the import dialog once it shows.
  void PressInImportDialog(const char* button) {
    QTimer::singleShot(0, form_, [button] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
  }

  // The output of a poppler-utils program (pdftotext, pdfinfo).
  static QString Poppler(const char* program, const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& a : arguments) args << QString::fromStdString(a);
    QProcess process;
    process.start(QString::fromLatin1(program), args);
    EXPECT_TRUE(process.waitForFinished(20000)) << program << " (poppler-utils) is needed";
    return QString::fromUtf8(process.readAllStandardOutput());
  }

  QStringList Tickets() {
    QStringList out;
    for (int n = 1; n <= Store().TargetCount(); ++n) {
      SearchTarget t;
      Store().GetTarget(0, n, t);
      out << TargetName(n) + QLatin1Char('|') + QString::fromLatin1(t.group) + QLatin1Char('|') +
                 QString::fromLatin1(t.number);
    }
    return out;
  }
};

TEST_F(ExchangeTest, ImportAppendsOrReplacesAfterTheSaveQuestion) {
  struct Case {
    const char* what;
    const char* button;
    bool unsaved;
    QStringList expected;
  };
  const Case cases[] = {
      {"append after the last ticket, no question",
       "AppendBtn",
       true,
       {"山田|01|123456", "佐藤①ｶﾅ|02|222222", "鈴木, \"三郎\"|03|333456", "新井|07|777777", "木村|08|888888"}},
      {"replace asks about the unsaved tickets first", "ReplaceBtn", true, {"新井|07|777777", "木村|08|888888"}},
      {"replace with nothing unsaved asks nothing", "ReplaceBtn", false, {"新井|07|777777", "木村|08|888888"}},
      {"cancel changes nothing",
       "CancelBtn",
       true,
       {"山田|01|123456", "佐藤①ｶﾅ|02|222222", "鈴木, \"三郎\"|03|333456"}},
  };
  const std::string file = Path("sheet.csv");
  testing::PutFile(file, "名前,組,番号\r\n新井,07,777777\r\n木村,08,888888\r\n😀,09,1\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store().ClearTargets();
    Store().ClearWinningEntries();
    LoadSample();
    Store().SetTargetsChanged(c.unsaved ? 1 : 0);
    ui_.ExpectOpenDialog().Choose(file);
    PressInImportDialog(c.button);
    const bool done = std::string(c.button) != "CancelBtn";
    if (done && std::string(c.button) == "ReplaceBtn" && c.unsaved) ui_.ExpectMessage(kSaveTargets).Answer(kAnswerNo);
    if (done) {
      ui_.ExpectMessage(QStringLiteral("2件の検索対象を取り込みました。\n先頭の見出し行は読み飛ばしました。\n"
                                       "取り込まなかった行: 1件\n"
                                       "・シフトJIS（CP932）で表せない文字を含む行: 1件"),
                        kMessageCaption);
    }
    form_->Action(QStringLiteral("FileImport1"))->trigger();
    EXPECT_EQ(ui_.PendingSteps(), 0u);
    EXPECT_EQ(Tickets(), c.expected);
    EXPECT_EQ(form_->ListView2()->RowCount(), c.expected.size());
    if (done) {
      EXPECT_EQ(ui_.Messages().back().icon, MessageIcon::Exclamation);
    }
    // "元に戻す" takes an append back, with the changed flag from before; a replace
    // cannot be taken back.
    const bool appended = std::string(c.button) == "AppendBtn";
    EXPECT_EQ(form_->Action(QStringLiteral("EditUndoItem"))->isEnabled(), appended);
    form_->Action(QStringLiteral("EditUndoItem"))->trigger();
    if (appended) {
      EXPECT_EQ(Tickets(), (QStringList{"山田|01|123456", "佐藤①ｶﾅ|02|222222", "鈴木, \"三郎\"|03|333456"}));
      EXPECT_EQ(form_->ListView2()->RowCount(), 3);
      EXPECT_EQ(Store().TargetsChanged(), 1);
    } else {
      EXPECT_EQ(Tickets(), c.expected);
    }
  }
}

TEST_F(ExchangeTest, ExportWritesTheListAsShownAndImportGivesItBack) {
  LoadSample();
  testing::PickFilter(*form_, 1);         // 当たり
  testing::ClickColumnHeader(*form_, 1);  // No., descending
  ui_.ExpectSaveDialog().Choose(Path("out.csv"));
  form_->Action(QStringLiteral("FileExport1"))->trigger();
  EXPECT_EQ(ui_.FileDialogs().back().filter, QStringLiteral("CSVファイル(*.csv)|*.csv|Excelブック(*.xlsx)|*.xlsx"));
  EXPECT_EQ(testing::GetFile(Path("out.csv")),
            "\xEF\xBB\xBFNo.,名前,組,番号,当たり種別\r\n"
            "3,\"鈴木, \"\"三郎\"\"\",03,333456,1等\r\n"
            "1,山田,01,123456,1等\r\n");

  Store().SetTargetsChanged(0);
  ui_.ExpectOpenDialog().Choose(Path("out.csv"));
  PressInImportDialog("ReplaceBtn");
  // A quote cannot be saved in the search-target file: it is taken out on the way in.
  ui_.ExpectMessage(
      QStringLiteral("2件の検索対象を取り込みました。\n先頭の見出し行は読み飛ばしました。\n"
                     "「\"」や改行を取り除いた検索対象: 1件"));
  form_->Action(QStringLiteral("FileImport1"))->trigger();
  EXPECT_EQ(Tickets(), (QStringList{"鈴木, 三郎|03|333456", "山田|01|123456"}));
  EXPECT_EQ(ui_.Messages().back().icon, MessageIcon::None);

  // The exported file chosen with "開く": no data file, and the import is offered.
  const QString offer = QStringLiteral("このファイルはインポートで検索対象に取り込めます。インポートしますか？");
  for (int answer : {kAnswerNo, kAnswerYes}) {
    Store().SetTargetsChanged(0);
    ui_.ExpectOpenDialog().Choose(Path("out.csv"));
    ui_.ExpectMessage(QStringLiteral("選択されたファイルは使用できません。"), kMessageCaption);
    ui_.ExpectMessage(offer, kMessageCaption).Answer(answer);
    if (answer == kAnswerYes) {
      // The list already holds both tickets: the import skips them as duplicates.
      PressInImportDialog("AppendBtn");
      ui_.ExpectMessage(
          QStringLiteral("0件の検索対象を取り込みました。\n先頭の見出し行は読み飛ばしました。\n"
                         "取り込まなかった行: 2件\n・すでにある券と重なる行: 2件"));
    }
    form_->Action(QStringLiteral("FileOpen1"))->trigger();
    EXPECT_EQ(Tickets().size(), 2);
    EXPECT_EQ(ui_.PendingSteps(), 0u);
  }
}

TEST_F(ExchangeTest, ThePdfHoldsTheListTitleDatePagesAndSummary) {
  LoadSample();
  testing::PickFilter(*form_, 1);  // 当たり
  ui_.ExpectSaveDialog().Choose(Path("list.pdf"));
  form_->Action(QStringLiteral("FilePdf1"))->trigger();
  QString text = Poppler("pdftotext", {Path("list.pdf"), "-"});
  text.remove(QLatin1Char(' '));
  for (const QString& part :
       {QStringLiteral("検索対象（当たり）"), QDate::currentDate().toString(QStringLiteral("yyyy年M月d日")),
        QStringLiteral("名前"), QStringLiteral("当たり種別"), QStringLiteral("山田"), QStringLiteral("333456"),
        QStringLiteral("当選の内訳"), QStringLiteral("1等"), QStringLiteral("2本"), QStringLiteral("0本"),
        QStringLiteral("1/1")}) {
    EXPECT_TRUE(text.contains(part)) << part.toStdString() << " not in:\n" << text.toStdString();
  }
  EXPECT_FALSE(text.contains(QStringLiteral("佐藤"))) << "only the rows the list shows";
}

// Kanji that share their glyph with a Kangxi radical (山 and ⼭, 日 and ⽇ …) must come
// back from the PDF as the kanji; the title names the list's file and the filter.
TEST_F(ExchangeTest, PdfTextGivesTheNamesAsWrittenAndTheTitleNamesTheList) {
  struct Case {
    const char* dataFile;
    int filter;
    QString title;
    QStringList names;
  };
  const Case cases[] = {
      {"",
       0,
       QStringLiteral("検索対象（全表示）"),
       {"山田一子", "小日向月子", "田口示", "木村金太", "青木立夫", "高橋龍馬", "黒田鳥羽", "長谷川黄", "石川雨音",
        "赤井貝", "鹿島魚", "土屋人", "佐藤ｶﾅ", "Smith"}},
      {"家族の年賀状.dat", 1, QStringLiteral("家族の年賀状.dat（当たり）"), {"山田一子", "小日向月子"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    Store().ClearTargets();
    Store().ClearWinningEntries();
    AddTarget("山田一子", "01", "123456");
    AddTarget("小日向月子", "02", "654321");
    for (qsizetype i = 2; i < c.names.size(); ++i) AddTarget(c.names[i].toUtf8().constData(), "03", "000000");
    AddEntry("1等", {{"01", "*"}});
    AddEntry("2等", {{"02", "654321"}});
    core_.RunSearch();
    Store().SetTargetFile(c.dataFile[0] == '\0' ? "" : Path(c.dataFile).c_str());
    form_->FillSearchList(FillMode::ShowAll, 0);
    if (c.filter != 0) testing::PickFilter(*form_, c.filter);
    ui_.ExpectSaveDialog().Choose(Path("names.pdf"));
    form_->Action(QStringLiteral("FilePdf1"))->trigger();

    // Rows of the list in the page's layout: No., name, group, number, hit types.
    QStringList names;
    for (const QString& line : Poppler("pdftotext", {"-layout", Path("names.pdf"), "-"}).split(QLatin1Char('\n'))) {
      const QStringList fields = line.simplified().split(QLatin1Char(' '));
      if (fields.size() >= 4 && fields[0].toInt() > 0 && fields[2].startsWith(QLatin1Char('0'))) names << fields[1];
    }
    EXPECT_EQ(names, c.names);
    const QString info = Poppler("pdfinfo", {Path("names.pdf")});
    EXPECT_EQ(QRegularExpression(QStringLiteral("Title: *(.*)\n")).match(info).captured(1), c.title);
    EXPECT_TRUE(Poppler("pdftotext", {Path("names.pdf"), "-"}).startsWith(c.title));
  }
}

TEST_F(ExchangeTest, FailuresAreToldAndEmptyListsNotWritten) {
  const std::string missing = Path("no/such/folder/x");
  ui_.ExpectMessage(QStringLiteral("保存するデータがありません。"), kMessageCaption);
  form_->Action(QStringLiteral("FileExport1"))->trigger();
  LoadSample();
  for (QAction* command : {form_->Action(QStringLiteral("FileExport1")), form_->Action(QStringLiteral("FilePdf1"))}) {
    SCOPED_TRACE(command->objectName().toStdString());
    ui_.ExpectSaveDialog().Choose(missing);
    ui_.ExpectMessage(QStringLiteral("ファイルを保存できませんでした。\n%1\n保存先のフォルダーがありません。")
                          .arg(QString::fromStdString(missing)),
                      kMessageCaption);
    command->trigger();
    EXPECT_EQ(ui_.PendingSteps(), 0u);
  }
}

TEST_F(ExchangeTest, CopyPutsTheSelectedRowsAsTabSeparatedText) {
  LoadSample();
  ReportList* list = form_->ListView2();
  list->ClearSelection();
  testing::OpenTargetMenu(*form_);
  EXPECT_FALSE(form_->Action(QStringLiteral("C1"))->isVisible());
  for (int r : {0, 2}) {
    list->selectionModel()->select(list->Model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  testing::OpenTargetMenu(*form_);
  EXPECT_TRUE(form_->Action(QStringLiteral("C1"))->isVisible());
  QAction* copy = form_->Action(QStringLiteral("Copy1"));
  EXPECT_EQ(copy->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  QApplication::clipboard()->clear();
  form_->Action(QStringLiteral("C1"))->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("No.\t名前\t組\t番号\t当たり種別\n"
                                                              "1\t山田\t01\t123456\t1等\n"
                                                              "3\t鈴木, \"三郎\"\t03\t333456\t1等\n"));
}

}  // namespace
}  // namespace luckyscope
