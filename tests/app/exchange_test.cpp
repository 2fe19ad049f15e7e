// The commands that exchange tickets with other tools, in the real main window: import
// (append, replace after the save question, cancel), export of the list as shown and
// its import back, the PDF read back as text, copy of the selected rows, and failures.

#include <string>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "tests/support/file_test_util.h"
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
    form_->FileImport1Execute();
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
  form_->ComboBox1Change(1);       // 当たり
  form_->ListView2ColumnClick(1);  // No., descending
  ui_.ExpectSaveDialog().Choose(Path("out.csv"));
  form_->FileExport1Execute();
  EXPECT_EQ(ui_.FileDialogs().back().filter, QStringLiteral("CSVファイル(*.csv)|*.csv"));
  EXPECT_EQ(testing::GetFile(Path("out.csv")),
            "\xEF\xBB\xBFNo.,名前,組,番号,当たり種別\r\n"
            "3,\"鈴木, \"\"三郎\"\"\",03,333456,1等\r\n"
            "1,山田,01,123456,1等\r\n");

  Store().SetTargetsChanged(0);
  ui_.ExpectOpenDialog().Choose(Path("out.csv"));
  PressInImportDialog("ReplaceBtn");
  ui_.ExpectMessage(QStringLiteral("2件の検索対象を取り込みました。\n先頭の見出し行は読み飛ばしました。"));
  form_->FileImport1Execute();
  EXPECT_EQ(Tickets(), (QStringList{"鈴木, \"三郎\"|03|333456", "山田|01|123456"}));
  EXPECT_EQ(ui_.Messages().back().icon, MessageIcon::None);

  // The exported file chosen with "開く": no data file, and the import is offered.
  const QString offer = QStringLiteral("このファイルはインポートで検索対象に取り込めます。インポートしますか？");
  for (int answer : {kAnswerNo, kAnswerYes}) {
    Store().SetTargetsChanged(0);
    ui_.ExpectOpenDialog().Choose(Path("out.csv"));
    ui_.ExpectMessage(QStringLiteral("選択されたファイルは使用できません。"), kMessageCaption);
    ui_.ExpectMessage(offer, kMessageCaption).Answer(answer);
    if (answer == kAnswerYes) {
      PressInImportDialog("AppendBtn");
      ui_.ExpectMessage(QStringLiteral("2件の検索対象を取り込みました。\n先頭の見出し行は読み飛ばしました。"));
    }
    form_->Action(QStringLiteral("FileOpen1"))->trigger();
    EXPECT_EQ(Tickets().size(), answer == kAnswerYes ? 4 : 2);
    EXPECT_EQ(ui_.PendingSteps(), 0u);
  }
}

TEST_F(ExchangeTest, ThePdfHoldsTheListTitleDatePagesAndSummary) {
  LoadSample();
  form_->ComboBox1Change(1);  // 当たり
  ui_.ExpectSaveDialog().Choose(Path("list.pdf"));
  form_->FilePdf1Execute();
  QProcess pdftotext;
  pdftotext.start(QStringLiteral("pdftotext"), {QString::fromStdString(Path("list.pdf")), QStringLiteral("-")});
  ASSERT_TRUE(pdftotext.waitForFinished(20000)) << "pdftotext (poppler-utils) is needed";
  // The CJK font gives some kanji the glyph of a Kangxi radical (山 and ⼭ look the same),
  // and the PDF's text names the radical; NFKC reads them as the kanji again.
  QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
  text.remove(QLatin1Char(' '));
  for (const QString& part :
       {QStringLiteral("当たり"), QDate::currentDate().toString(QStringLiteral("yyyy年M月d日")), QStringLiteral("名前"),
        QStringLiteral("当たり種別"), QStringLiteral("山田"), QStringLiteral("333456"), QStringLiteral("当選の内訳"),
        QStringLiteral("1等"), QStringLiteral("2本"), QStringLiteral("0本"), QStringLiteral("1/1")}) {
    EXPECT_TRUE(text.contains(part)) << part.toStdString() << " not in:\n" << text.toStdString();
  }
  EXPECT_FALSE(text.contains(QStringLiteral("佐藤"))) << "only the rows the list shows";
}

TEST_F(ExchangeTest, FailuresAreToldAndEmptyListsNotWritten) {
  const std::string missing = Path("no/such/folder/x");
  ui_.ExpectMessage(QStringLiteral("保存するデータがありません。"), kMessageCaption);
  form_->FileExport1Execute();
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
  form_->PopupMenu1Popup();
  EXPECT_FALSE(form_->Action(QStringLiteral("C1"))->isVisible());
  for (int r : {0, 2}) {
    list->selectionModel()->select(list->Model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  form_->PopupMenu1Popup();
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
