// The main window's flows as a user meets them: start and close with the save
// question, the file commands, the filter box and the lists, sorting and deleting, the
// search with its messages and sound cues, and the ways into the dialogs. Everything the
// window shows or asks goes through the scripted UI services.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/about_box.h"
#include "app/sdi_app_form.h"
#include "app/startup.h"
#include "core/data_core.h"
#include "core/text_util.h"
#include "tests/support/file_test_util.h"
#include "tests/support/list_gestures.h"
#include "tests/support/main_window_harness.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "ui/cp932_codec.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

const QString kSaveTargets = QStringLiteral("現在の検索対象データをセーブしますか？");
const QString kSaveWinning = QStringLiteral("現在の当選番号データをセーブしますか？");
const QString kCloseQuestion = QStringLiteral("データが更新されています。セーブしますか？");
const QString kNoTargets = QStringLiteral("検索対象データを入力してください。");
const QString kNoWinning = QStringLiteral("当選番号データを入力してください。");

using testing::Cp;

// A dialog that closes itself with a fixed result as soon as it shows, and runs a
// check while it is up.
class ScriptedDialog : public QDialog {
 public:
  explicit ScriptedDialog(int result) : result_(result) {}
  int shows = 0;
  std::function<void()> whileShown;

 protected:
  void showEvent(QShowEvent* event) override {
    QDialog::showEvent(event);
    ++shows;
    if (whileShown) whileShown();
    QTimer::singleShot(0, this, [this] { done(result_); });
  }

 private:
  int result_;
};

// The real windows, with dialogs that the tests script in place of the real ones.
class MainWindowTest : public testing::MainWindowHarness {
 protected:
  void SetUp() override {
    MainWindowHarness::SetUp();
    form_->SetDialogs({&about_, &schEdit_, &atrEdit_, &sysEdit_, &esyCheck_, &cntCheck_});
  }

  void WriteFile(const char* name, const std::string& bytes) { testing::PutFile(Path(name), bytes); }
  std::string ReadFile(const char* name) const { return testing::GetFile(Path(name)); }

  // Three tickets and two winning entries: ticket 1 hits 1等, ticket 3 hits 2等.
  void LoadSample() {
    AddTarget("山田", "01", "123456");
    AddTarget("佐藤", "02", "222222");
    AddTarget("鈴木", "03", "333333");
    AddEntry("1等", {{"01", "123456"}});
    AddEntry("2等", {{"*", "*33"}, {"09", "999999"}});
    Store().SetTargetsChanged(0);
    Store().SetWinningChanged(0);
  }

  QStringList ComboItems() const {
    QStringList out;
    for (int i = 0; i < form_->ComboBox1()->count(); ++i) out << form_->ComboBox1()->itemText(i);
    return out;
  }
  void SelectRows(std::initializer_list<int> rows) {
    ReportList* list = form_->ListView2();
    list->ClearSelection();
    for (int r : rows) {
      list->selectionModel()->select(list->Model()->index(r, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }

  // A sound file of the kind the sound cues recognise (a WAVE header).
  std::string WaveFile(const char* name) {
    WriteFile(name, std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
    return Path(name);
  }
  void SetSounds(const std::string& hit, const std::string& miss) {
    SystemSettings s;
    core_.GetSettings(s);
    CopyCut(s.hitSoundFile, hit.c_str());
    CopyCut(s.missSoundFile, miss.c_str());
    core_.SetSettings(s);
  }
  std::vector<std::string> OpenedSounds() {
    std::vector<std::string> out;
    for (const auto& call : ui_.Recorder().Calls()) {
      if (call.kind == RecordingSoundBackend::Call::OpenByType ||
          call.kind == RecordingSoundBackend::Call::OpenByFileName) {
        out.push_back(call.path);
      }
    }
    return out;
  }

  ScriptedDialog about_{QDialog::Accepted};
  ScriptedDialog schEdit_{QDialog::Accepted};
  ScriptedDialog atrEdit_{QDialog::Accepted};
  ScriptedDialog sysEdit_{QDialog::Accepted};
  ScriptedDialog esyCheck_{QDialog::Accepted};
  ScriptedDialog cntCheck_{QDialog::Accepted};
};

// ---------------------------------------------------------------------------
// Start and close

TEST_F(MainWindowTest, FirstStartReportsTheMissingSettingsAndTheCloseWritesThem) {
  ui_.ExpectMessage(QStringLiteral("システムデータファイルが異常です。"), kMessageCaption);
  StartDataCore(core_, ui_, base_.c_str());
  EXPECT_EQ(ui_.Messages().at(0).icon, MessageIcon::Exclamation);
  EXPECT_EQ(ReadFile("luckyscope.dat"), "<missing>");

  form_->close();  // nothing unsaved: no question
  EXPECT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ReadFile("luckyscope.dat"), "[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");  // 8 lines
  ASSERT_FALSE(ui_.HelpCalls().empty());
  EXPECT_EQ(ui_.HelpCalls().back().kind, HelpCallKind::CloseAll);
}

TEST_F(MainWindowTest, StartUpFileTicketsShowWithTheWindowAndAnUnreadableOneIsNamedOnce) {
  WriteFile("t.dat", "\"a\",\"1\",\"11\"\r\n\"b\",\"2\",\"22\"\r\n");
  WriteFile("luckyscope.dat", "[SYSTDATA]\r\nt.dat\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  StartDataCore(core_, ui_, base_.c_str());
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_EQ(Store().TargetCount(), 2);
  form_->show();  // the first showing lists the start-up file's tickets
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{"a", "b"}));
  form_->FormActivate();  // later activations refresh only the winning numbers
  EXPECT_EQ(form_->ListView2()->RowCount(), 2);

  // A start-up file that cannot be read is named once, whatever the reason.
  for (const char* name : {"missing.dat", "gone.ban", "unreadable.csv"}) {
    Store().ClearTargets();
    WriteFile("luckyscope.dat", std::string("[SYSTDATA]\r\n") + name + "\r\n0\r\n\r\n0\r\n");
    ui_.ClearRecords();
    ui_.ExpectMessage(
        QStringLiteral("起動時に読み込むファイルを読み込めませんでした。\n%1").arg(QString::fromStdString(Path(name))),
        kMessageCaption);
    StartDataCore(core_, ui_, base_.c_str());
    EXPECT_EQ(ui_.Messages().size(), 1u) << name;
    EXPECT_EQ(Store().TargetCount(), 0) << name;
  }
  ui_.ClearRecords();
  form_->FormClose();
}

// Whatever asked for a save stops when the save fails: the failure is named, and the
// table and its changed flag stay for the user to save elsewhere. A cancelled save
// dialog stops it the same way, without a word; a refused empty table lets it go on.
TEST_F(MainWindowTest, AFailedSaveIsNamedAndStopsWhateverAskedForIt) {
  const auto failed = [](const std::string& path) {
    return QStringLiteral("ファイルを保存できませんでした。\n%1\n保存先のフォルダーがありません。")
        .arg(QString::fromStdString(path));
  };
  const QString clear = QStringLiteral("データをクリアします。よろしいですか？");
  WriteFile("other.dat", "\"x\",\"9\",\"99\"\r\n");
  enum Flow { New, Open, Drop, Close };
  struct Case {
    const char* what;
    Flow flow;
    bool winningChanged;  // the winning numbers are unsaved instead of the targets
    bool emptyTargets;    // the targets' table is empty (but marked changed)
    bool cancel;          // the save dialog is cancelled
    int targetsAfter;     // -1: as before (the flow stopped)
    int winningAfter;     // -1: as before
  };
  const Case cases[] = {
      {"new, targets", New, false, false, false, -1, -1},
      {"new, winning numbers", New, true, false, false, 0, -1},
      {"open", Open, false, false, false, -1, -1},
      {"drop", Drop, false, false, false, -1, -1},
      {"close", Close, false, false, false, -1, -1},
      {"open, dialog cancelled", Open, false, false, true, -1, -1},
      {"new, dialog cancelled", New, false, false, true, -1, -1},
      {"new, winning dialog cancelled", New, true, false, true, 0, -1},
      {"drop, dialog cancelled", Drop, false, false, true, -1, -1},
      {"close, dialog cancelled", Close, false, false, true, -1, -1},
      {"open, empty table", Open, false, true, false, 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store().ClearTargets();
    Store().ClearWinningEntries();
    LoadSample();
    if (c.emptyTargets) Store().ClearTargets();
    if (c.winningChanged) {
      Store().SetWinningChanged(1);
    } else {
      Store().SetTargetsChanged(1);
    }
    const int targets = Store().TargetCount();
    const int winning = Store().WinningCount();
    const std::string nowhere = Path(c.winningChanged ? "gone/w.ban" : "gone/t.dat");
    ui_.ClearRecords();
    if (c.flow == New) ui_.ExpectMessage(clear).Answer(kAnswerYes);
    if (c.flow == Open) ui_.ExpectOpenDialog().Choose(Path("other.dat"));
    if (c.flow == Close) {
      ui_.ExpectMessage(kCloseQuestion).Answer(kAnswerYes);
    } else {
      ui_.ExpectMessage(c.winningChanged ? kSaveWinning : kSaveTargets).Answer(kAnswerYes);
    }
    if (c.cancel) {
      ui_.ExpectSaveDialog().Cancel();
    } else {
      ui_.ExpectSaveDialog().Choose(nowhere);
      if (!c.emptyTargets) ui_.ExpectMessage(failed(nowhere), kMessageCaption);
    }
    QSignalSpy closed(form_, &TSDIAppForm::Closed);
    switch (c.flow) {
      case New:
        form_->Action(QStringLiteral("FileNew1"))->trigger();
        break;
      case Open:
        form_->Action(QStringLiteral("FileOpen1"))->trigger();
        break;
      case Drop:
        form_->LoadDroppedFile(false, Path("other.dat"));
        break;
      case Close:
        EXPECT_FALSE(form_->FormClose());
        EXPECT_EQ(closed.count(), 0);
        EXPECT_EQ(ReadFile("luckyscope.dat"), "<missing>");  // the close went no further
        break;
    }
    EXPECT_EQ(Store().TargetCount(), c.targetsAfter == -1 ? targets : c.targetsAfter);
    EXPECT_EQ(Store().WinningCount(), c.winningAfter == -1 ? winning : c.winningAfter);
    if (c.targetsAfter == -1) {
      EXPECT_EQ(c.winningChanged ? Store().WinningChanged() : Store().TargetsChanged(), 1);
      EXPECT_EQ(ui_.Messages().back().icon, c.cancel ? MessageIcon::Question : MessageIcon::Exclamation);
    }
    EXPECT_EQ(ui_.UnexpectedCount(), 0);
  }
  ui_.ClearRecords();
  Store().ClearTargets();
  Store().ClearWinningEntries();
}

// A file that is plainly no data file of its kind replaces a table only when the user
// says so; the question defaults to No.
TEST_F(MainWindowTest, AFileThatIsPlainlyNotADataFileIsLoadedOnlyWhenTheUserSaysSo) {
  const QString notTargets = QStringLiteral("このファイルは検索対象ファイルではないようです。読み込みますか？");
  const QString notWinning = QStringLiteral("このファイルは当選番号ファイルではないようです。読み込みますか？");
  // Bytes of every value, as a picture or a program has them.
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37 + 11) % 256);
  struct Case {
    const char* name;
    std::string bytes;
    std::optional<QString> question;  // none: an ordinary file, loaded without a word
  } cases[] = {
      {"picture.dat", binary, notTargets},
      {"picture.ban", binary, notWinning},
      {"settings.dat", "[SYSTDATA]\r\nt.dat\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n", notTargets},
      {"bad932.dat", "\"\x81\x20\",\"1\",\"1\"\r\n\"\xfd\",\"1\",\"1\"\r\n\"ok\",\"1\",\"1\"\r\n", notTargets},
      // Japanese text, one odd line among good ones, and a csv of the program's own.
      {"kana.dat", Cp("\"山田ｱｲｳ\",\"01\",\"123456\"\r\n\"\x80\",\"1\",\"1\"\r\n\"佐藤\",\"1\",\"1\"\r\n"),
       std::nullopt},
      {"kana.csv", Cp("#BAN\r\n１等,1\r\n*,123456\r\n"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(c.name, c.bytes);
    for (int answer : {kAnswerNo, kAnswerYes}) {
      Store().ClearTargets();
      Store().ClearWinningEntries();
      LoadSample();
      ui_.ClearRecords();
      ui_.ExpectOpenDialog().Choose(Path(c.name));
      if (c.question) ui_.ExpectMessage(*c.question, kMessageCaption).Answer(answer);
      form_->Action(QStringLiteral("FileOpen1"))->trigger();
      const bool loaded = !c.question || answer == kAnswerYes;
      const bool kept = Store().TargetCount() == 3 && Store().WinningCount() == 2 &&
                        Store().TargetSlots()[0].name == Cp("山田") && Store().WinningSlots()[0].title == Cp("1等");
      EXPECT_EQ(kept, !loaded) << answer;
      if (c.question) {
        EXPECT_TRUE(ui_.Messages().at(0).defaultNo);
        // A dropped file is asked about the same way.
        ui_.ExpectMessage(*c.question, kMessageCaption).Answer(kAnswerNo);
        form_->LoadDroppedFile(*c.question == notWinning, Path(c.name));
      }
      EXPECT_EQ(ui_.UnexpectedCount(), 0);
    }
  }
  Store().ClearTargets();
  Store().ClearWinningEntries();
}

TEST_F(MainWindowTest, CloseWithUnsavedTargetsAsksOnceAndOffersOnlyTheTargetSave) {
  LoadSample();
  AddTarget("新人", "04", "444444");  // targets unsaved, winning numbers saved
  ui_.ExpectMessage(kCloseQuestion, kMessageCaption).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Choose(Path("out.dat"));
  form_->close();
  ASSERT_EQ(ui_.FileDialogs().size(), 1u);
  EXPECT_EQ(ui_.FileDialogs()[0].defaultExtension, QStringLiteral("dat"));
  EXPECT_EQ(ui_.FileDialogs()[0].filter, QStringLiteral("検索対象ファイル(*.dat)|*.dat"));
  EXPECT_EQ(ui_.Messages()[0].icon, MessageIcon::Question);
  EXPECT_EQ(ui_.Messages()[0].buttons, MessageButtons::YesNo);
  EXPECT_NE(ReadFile("out.dat").find(Cp("新人")), std::string::npos);
  EXPECT_NE(ReadFile("luckyscope.dat"), "<missing>");
}

TEST_F(MainWindowTest, CloseWithBothTablesUnsavedOffersTwoSavesTargetsFirst) {
  AddTarget("a", "1", "1");
  AddEntry("1等", {{"1", "1"}});
  ui_.ExpectMessage(kCloseQuestion).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Cancel();  // the close stops: the tables stay
  EXPECT_FALSE(form_->FormClose());
  ui_.ExpectMessage(kCloseQuestion).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Choose(Path("t.dat"));
  ui_.ExpectSaveDialog().Choose(Path("w.ban"));
  form_->FormClose();
  ASSERT_EQ(ui_.FileDialogs().size(), 3u);
  EXPECT_EQ(ui_.FileDialogs()[1].defaultExtension, QStringLiteral("dat"));
  EXPECT_EQ(ui_.FileDialogs()[2].defaultExtension, QStringLiteral("ban"));
  EXPECT_EQ(ReadFile("w.ban"), "1\x93\x99,1\r\n1,1\r\n");
}

TEST_F(MainWindowTest, CloseAnsweredNoSavesNoDataButStillWritesTheSettings) {
  AddTarget("a", "1", "1");
  AddEntry("1等", {{"1", "1"}});
  Store().SetWinningCount(0);  // changed but empty: no reason to ask on its own
  Store().SetWinningChanged(1);
  ui_.ExpectMessage(kCloseQuestion).Answer(kAnswerNo);
  form_->FormClose();
  EXPECT_TRUE(ui_.FileDialogs().empty());
  EXPECT_NE(ReadFile("luckyscope.dat"), "<missing>");
}

TEST_F(MainWindowTest, ClosingStopsAPlayingCue) {
  LoadSample();
  SetSounds(WaveFile("hit.wav"), "");
  form_->FillWinningList(1);  // "当たり"
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  ASSERT_EQ(form_->SoundCue().state, kSoundCueOpen);
  form_->FormClose();
  EXPECT_EQ(form_->SoundCue().state, kSoundCueIdle);
  EXPECT_TRUE(ui_.Recorder().OpenDevices().empty());
}

// ---------------------------------------------------------------------------
// File commands

TEST_F(MainWindowTest, NewAsksOnlyWhenThereIsDataAndNoKeepsIt) {
  form_->Action(QStringLiteral("FileNew1"))->trigger();  // empty tables: cleared at once
  EXPECT_TRUE(ui_.Messages().empty());
  LoadSample();
  ui_.ExpectMessage(QStringLiteral("データをクリアします。よろしいですか？")).Answer(kAnswerNo);
  form_->Action(QStringLiteral("FileNew1"))->trigger();
  EXPECT_EQ(Store().TargetCount(), 3);
  EXPECT_EQ(Store().WinningCount(), 2);
}

TEST_F(MainWindowTest, NewAnsweredYesWithACancelledSaveKeepsTheData) {
  LoadSample();
  AddTarget("新人", "04", "444444");
  testing::PickFilter(*form_, 0);
  ui_.ExpectMessage(QStringLiteral("データをクリアします。よろしいですか？"), kMessageCaption).Answer(kAnswerYes);
  ui_.ExpectMessage(kSaveTargets, kMessageCaption).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Cancel();
  form_->Action(QStringLiteral("FileNew1"))->trigger();
  EXPECT_EQ(Store().TargetCount(), 4);
  EXPECT_EQ(Store().WinningCount(), 2);
  EXPECT_EQ(Store().TargetsChanged(), 1);
  EXPECT_EQ(form_->ListView2()->RowCount(), 4);
}

TEST_F(MainWindowTest, OpeningAWinningFileAsksOnlyAboutUnsavedWinningNumbers) {
  LoadSample();
  AddTarget("新人", "04", "444444");  // only the targets are unsaved
  form_->FillWinningList(3);          // a title is picked
  WriteFile("w.ban", Cp("特賞,1\r\n*,*4\r\n"));
  ui_.ExpectOpenDialog().Choose(Path("w.ban"));
  form_->Action(QStringLiteral("FileOpen1"))->trigger();
  EXPECT_TRUE(ui_.Messages().empty());
  const RecordedFileDialog& open = ui_.FileDialogs().at(0);
  EXPECT_EQ(open.kind, FileDialogKind::Open);
  EXPECT_EQ(open.defaultExtension, QStringLiteral("dat"));
  EXPECT_EQ(open.filter,
            QStringLiteral("検索対象ファイル(*.dat)|*.dat|当選番号ファイル(*.ban)|*.ban|CSVファイル(*.csv)|*.csv"));
  EXPECT_EQ(open.filterIndex, 1);
  EXPECT_TRUE(open.fileName.isEmpty());
  // The filter is back at "全表示" and every ticket is listed.
  EXPECT_EQ(ComboItems(), (QStringList{"全表示", "当たり", "特賞"}));
  EXPECT_EQ(form_->ComboBox1()->currentIndex(), 0);
  EXPECT_EQ(form_->ListView2()->RowCount(), 4);
  EXPECT_EQ(Column(form_->ListView1(), 1), QStringList{"*4"});
}

TEST_F(MainWindowTest, OpeningAnUnusableFileIsReportedAndChangesNothing) {
  LoadSample();
  WriteFile("notes.txt", "hello");
  ui_.ExpectOpenDialog().Choose(Path("notes.txt"));
  ui_.ExpectMessage(QStringLiteral("選択されたファイルは使用できません。"), kMessageCaption);
  form_->Action(QStringLiteral("FileOpen1"))->trigger();
  EXPECT_EQ(ui_.Messages().at(0).icon, MessageIcon::Exclamation);
  EXPECT_EQ(Store().TargetCount(), 3);
  ui_.ExpectOpenDialog().Cancel();
  form_->Action(QStringLiteral("FileOpen1"))->trigger();
  EXPECT_EQ(Store().TargetCount(), 3);
}

TEST_F(MainWindowTest, SaveOffersThePresetThatFitsWhatIsThere) {
  ui_.ExpectMessage(QStringLiteral("保存するデータがありません。"), kMessageCaption);
  form_->Action(QStringLiteral("FileSave1"))->trigger();

  AddEntry("1等", {{"1", "1"}});
  ui_.ExpectSaveDialog().Choose(Path("only.ban"));
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  EXPECT_EQ(ui_.FileDialogs().back().defaultExtension, QStringLiteral("ban"));
  EXPECT_EQ(ui_.FileDialogs().back().filter, QStringLiteral("当選番号ファイル(*.ban)|*.ban"));
  EXPECT_NE(ReadFile("only.ban"), "<missing>");
  EXPECT_EQ(Store().WinningChanged(), 0);

  AddTarget("a", "1", "1");
  ui_.ExpectSaveDialog().Choose(Path("both.dat"));
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  EXPECT_EQ(ui_.FileDialogs().back().defaultExtension, QStringLiteral("dat"));
  EXPECT_EQ(ui_.FileDialogs().back().filter,
            QStringLiteral("検索対象ファイル(*.dat)|*.dat|当選番号ファイル(*.ban)|*.ban"));
  EXPECT_EQ(ReadFile("both.dat"), "\"a\",\"1\",\"1\"\r\n");  // one command, one table

  Store().ClearWinningEntries();
  ui_.ExpectSaveDialog().Cancel();
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  EXPECT_EQ(ui_.FileDialogs().back().filter, QStringLiteral("検索対象ファイル(*.dat)|*.dat"));
}

// ---------------------------------------------------------------------------
// Filter box and lists

TEST_F(MainWindowTest, EachFilterListsItsTicketsAndPairs) {
  form_->FormActivate();
  EXPECT_EQ(ComboItems(), QStringList{QStringLiteral("全表示")});
  LoadSample();
  core_.RunSearch();
  form_->FormActivate();
  EXPECT_EQ(ComboItems(), (QStringList{"全表示", "当たり", "1等", "2等"}));
  EXPECT_EQ(Column(form_->ListView1(), 0), (QStringList{"01", "*", "09"}));

  EXPECT_EQ(form_->FillSearchList(FillMode::ShowAll, 0), 2);  // only tickets with a hit count
  EXPECT_EQ(Column(form_->ListView2(), 4), (QStringList{"1等", "", "2等"}));

  testing::PickFilter(*form_, 1);
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"1", "3"}));
  EXPECT_EQ(form_->ListView1()->RowCount(), 3);

  testing::PickFilter(*form_, 3);  // "2等"
  EXPECT_EQ(form_->ComboBox1()->currentIndex(), 3);
  EXPECT_EQ(Column(form_->ListView1(), 1), (QStringList{"*33", "999999"}));
  EXPECT_EQ(Column(form_->ListView2(), 1), QStringList{"鈴木"});
  EXPECT_EQ(Column(form_->ListView2(), 4), QStringList{"2等"});
  EXPECT_EQ(form_->ListView2()->FocusedRow(), 0);
  EXPECT_EQ(form_->ListView2()->SelectedRows(), std::vector<int>{0});
}

TEST_F(MainWindowTest, EntryHitsShowTheFullTitleWhereTheHitTypeIsCut) {
  std::string longTitle(200, 'T');
  AddTarget("a", "1", "1");
  AddEntry(longTitle.c_str(), {{"1", "1"}});
  AddEntry("second", {{"*", "*"}});
  core_.RunSearch();
  form_->FormActivate();
  form_->FillSearchList(FillMode::ShowAll, 0);
  // Two hits: each title cut to 256 / 2 - 2 bytes.
  EXPECT_EQ(form_->ListView2()->Text(0, 4), QString(126, u'T') + QStringLiteral(" second"));
  testing::PickFilter(*form_, 2);
  EXPECT_EQ(form_->ListView2()->Text(0, 4), QString::fromStdString(longTitle));
}

TEST_F(MainWindowTest, SortingByNumberAndByNameIgnoringLetterCase) {
  AddTarget("charlie", "1", "1");
  AddTarget("Beta", "2", "2");
  AddTarget("alpha", "3", "3");
  form_->FormActivate();
  testing::PickFilter(*form_, 0);
  form_->show();
  QHeaderView* header = form_->ListView2()->header();
  const auto clickHeader = [&](int column) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
  };
  clickHeader(0);  // "No." is already ascending: the first click sorts descending
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"3", "2", "1"}));
  EXPECT_EQ(form_->SortKey(), -1);
  clickHeader(1);
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{"alpha", "Beta", "charlie"}));
  clickHeader(1);
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{"charlie", "Beta", "alpha"}));
  testing::ClickColumnHeader(*form_, 3);  // another column always starts ascending
  EXPECT_EQ(form_->SortKey(), 3);
  // A refill stands in registration order again.
  testing::PickFilter(*form_, 0);
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"1", "2", "3"}));
}

TEST_F(MainWindowTest, DeletingRowsPickedInASortedListRemovesExactlyThoseTickets) {
  AddTarget("c-ticket", "01", "123456");  // 1, hits 1等
  AddTarget("a-ticket", "02", "222222");  // 2
  AddTarget("b-ticket", "03", "333333");  // 3, hits 2等
  AddTarget("d-ticket", "04", "444444");  // 4
  AddEntry("1等", {{"01", "123456"}});
  AddEntry("2等", {{"*", "*33"}});
  core_.RunSearch();
  form_->FormActivate();
  testing::PickFilter(*form_, 0);
  testing::ClickColumnHeader(*form_, 2);  // a, b, c, d
  SelectRows({0, 2});              // a-ticket (2) and c-ticket (1)
  testing::OpenTargetMenu(*form_);  // two rows: only "削除(&D)"
  EXPECT_FALSE(form_->Action(QStringLiteral("E1"))->isVisible());
  EXPECT_TRUE(form_->Action(QStringLiteral("D1"))->isVisible());
  form_->Action(QStringLiteral("D1"))->trigger();
  ASSERT_EQ(Store().TargetCount(), 2);
  EXPECT_EQ(TargetName(1), QStringLiteral("b-ticket"));
  EXPECT_EQ(TargetName(2), QStringLiteral("d-ticket"));
  SearchTarget t;
  Store().GetTarget(1, 1, t);
  EXPECT_EQ(t.hit, 1);  // the hit result moved with its ticket
  EXPECT_EQ(t.hitMask, 2u);
  EXPECT_EQ(Store().TargetsChanged(), 1);
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"1", "2"}));
  EXPECT_EQ(Column(form_->ListView2(), 4), (QStringList{"2等", ""}));
}

TEST_F(MainWindowTest, DeletingTheLastTicketEmptiesTheListAndFocusesTheFilter) {
  AddTarget("only", "1", "1");
  form_->FormActivate();
  testing::PickFilter(*form_, 0);
  form_->show();
  QApplication::setActiveWindow(form_);
  form_->ListView2()->setFocus();
  SelectRows({0});
  QTest::keyClick(form_->ListView2(), Qt::Key_Delete, Qt::ShiftModifier);  // modifiers do not matter
  EXPECT_EQ(Store().TargetCount(), 0);
  EXPECT_EQ(Store().TargetsChanged(), 0);
  EXPECT_EQ(form_->ListView2()->RowCount(), 0);
  EXPECT_TRUE(form_->ComboBox1()->hasFocus());
}

TEST_F(MainWindowTest, DeleteWithNothingSelectedOnlyRefillsTheLists) {
  LoadSample();
  core_.RunSearch();
  form_->FormActivate();
  testing::PickFilter(*form_, 1);
  form_->ListView2()->ClearSelection();
  testing::OpenTargetMenu(*form_);
  EXPECT_FALSE(form_->Action(QStringLiteral("E1"))->isVisible());
  EXPECT_FALSE(form_->Action(QStringLiteral("D1"))->isVisible());
  testing::PressOnTargetList(*form_, Qt::Key_Delete);
  EXPECT_EQ(Store().TargetCount(), 3);
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"1", "3"}));  // still the hits
}

// ---------------------------------------------------------------------------
// The search

TEST_F(MainWindowTest, SearchWithoutDataAsksForTheTargetsFirst) {
  ui_.ExpectMessage(kNoTargets, kMessageCaption);
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  AddTarget("a", "1", "1");
  ui_.ExpectMessage(kNoWinning, kMessageCaption);
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_EQ(ui_.Messages().size(), 2u);
  EXPECT_EQ(ui_.Messages()[0].icon, MessageIcon::Exclamation);
}

TEST_F(MainWindowTest, SearchInShowAllModeReportsTheCountAndPlaysNothing) {
  LoadSample();
  SetSounds(WaveFile("hit.wav"), WaveFile("miss.wav"));
  form_->FormActivate();
  ui_.ExpectMessage(QStringLiteral("2本、当たっています！(^o^)丿"), QStringLiteral("検索実行結果"));
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_EQ(ui_.Messages().at(0).icon, MessageIcon::None);
  EXPECT_EQ(ui_.Messages().at(0).buttons, MessageButtons::Ok);
  EXPECT_EQ(form_->ListView2()->RowCount(), 3);
  EXPECT_TRUE(ui_.Recorder().Calls().empty());

  Store().ClearWinningEntries();
  AddEntry("末等", {{"*", "000000"}});
  ui_.ExpectMessage(QStringLiteral("残念！全部はずれです。(T_T)"), QStringLiteral("検索実行結果"));
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
}

TEST_F(MainWindowTest, SearchWithTheHitsFilterAndNoHitPlaysTheMissSoundSilently) {
  AddTarget("a", "1", "1");
  AddEntry("1等", {{"9", "9"}});
  const std::string miss = WaveFile("miss.wav");
  SetSounds(WaveFile("hit.wav"), miss);
  form_->FillWinningList(1);
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_EQ(form_->ListView2()->RowCount(), 0);
  EXPECT_EQ(OpenedSounds(), std::vector<std::string>{miss});
  EXPECT_EQ(ui_.Recorder().PlayCount(), 1);
}

TEST_F(MainWindowTest, SearchWithATitleChoosesTheSoundByThatEntryAlone) {
  LoadSample();  // ticket 1 hits 1等, ticket 3 hits 2等
  AddEntry("3等", {{"*", "000000"}});
  const std::string hit = WaveFile("hit.wav");
  const std::string miss = WaveFile("miss.wav");
  SetSounds(hit, miss);
  form_->FillWinningList(4);  // "3等": nobody
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_EQ(OpenedSounds(), std::vector<std::string>{miss});
  const std::int32_t first = form_->SoundCue().device;

  ui_.Recorder().ClearCalls();
  form_->FillWinningList(3);  // "2等": ticket 3
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_EQ(Column(form_->ListView2(), 0), QStringList{"3"});
  EXPECT_EQ(OpenedSounds(), std::vector<std::string>{hit});
  // The cue still playing was stopped before the new one started.
  ASSERT_FALSE(ui_.Recorder().Calls().empty());
  EXPECT_EQ(ui_.Recorder().Calls().front().kind, RecordingSoundBackend::Call::Close);
  EXPECT_EQ(ui_.Recorder().Calls().front().device, first);
}

// ---------------------------------------------------------------------------
// Dialogs, help and keys

TEST_F(MainWindowTest, TheSearchTargetDialogOpensAtTheTicketOfTheRow) {
  LoadSample();
  form_->FormActivate();
  testing::PickFilter(*form_, 0);
  form_->show();
  int positionWhileShown = -99;
  schEdit_.whileShown = [&] { positionWhileShown = Store().GetEditPosition(); };

  SelectRows({1});
  QTest::keyClick(form_->ListView2(), Qt::Key_Return);
  EXPECT_EQ(schEdit_.shows, 1);
  EXPECT_EQ(positionWhileShown, 1);
  EXPECT_EQ(Store().GetEditPosition(), -1);

  testing::ClickColumnHeader(*form_, 1);  // sorted descending: row 0 is ticket 3
  SelectRows({0});
  const QRect row = form_->ListView2()->visualRect(form_->ListView2()->Model()->index(0, 1));
  QTest::mouseDClick(form_->ListView2()->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(schEdit_.shows, 2);
  EXPECT_EQ(positionWhileShown, 2);
  // After OK the list is refilled in registration order.
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"1", "2", "3"}));

  SelectRows({0, 1});  // two rows: nothing opens
  emit form_->ListView2()->DoubleClicked(0);
  form_->Action(QStringLiteral("E1"))->trigger();
  EXPECT_EQ(schEdit_.shows, 2);
}

TEST_F(MainWindowTest, EditCommandsRefillOnlyAfterOk) {
  LoadSample();
  core_.RunSearch();
  form_->FormActivate();
  testing::PickFilter(*form_, 1);  // the hits
  ScriptedDialog cancelled{QDialog::Rejected};
  form_->SetDialogs({&about_, &cancelled, &cancelled, &sysEdit_, &esyCheck_, &cntCheck_});
  form_->Action(QStringLiteral("EditSch1"))->trigger();
  EXPECT_EQ(form_->ListView2()->RowCount(), 2);  // cancelled: the hits stay listed
  EXPECT_EQ(cancelled.shows, 1);

  form_->SetDialogs({&about_, &schEdit_, &atrEdit_, &sysEdit_, &esyCheck_, &cntCheck_});
  form_->Action(QStringLiteral("EditSch1"))->trigger();
  EXPECT_EQ(form_->ListView2()->RowCount(), 3);
  EXPECT_EQ(form_->ComboBox1()->currentIndex(), 0);

  AddEntry("3等", {{"*", "*"}});
  form_->Action(QStringLiteral("EditAtr1"))->trigger();
  EXPECT_EQ(form_->ComboBox1()->count(), 5);
  EXPECT_EQ(form_->ListView1()->RowCount(), 4);
  form_->Action(QStringLiteral("EditSys1"))->trigger();
  EXPECT_EQ(sysEdit_.shows, 1);
  form_->Action(QStringLiteral("HelpAbout1"))->trigger();
  EXPECT_EQ(about_.shows, 1);
}

// The program hands in its dialogs unmade: each is made when its command first opens
// it, as a child of the main window, and the same dialog opens every later time.
TEST_F(MainWindowTest, DialogsMadeWhenFirstOpenedShowAsBeforeAndAreKept) {
  int made = 0;
  ScriptedDialog* sysEdit = nullptr;
  TAboutBox* about = nullptr;
  QString shownTitle;
  bool iconShown = false;
  auto dialogs = form_->GetDialogs();
  dialogs.sysEdit = TSDIAppForm::DialogSlot::MadeWhenFirstOpened([&] {
    ++made;
    sysEdit = new ScriptedDialog(QDialog::Accepted);
    sysEdit->setParent(form_, Qt::Dialog);
    return sysEdit;
  });
  dialogs.aboutBox = TSDIAppForm::DialogSlot::MadeWhenFirstOpened([&] {
    ++made;
    about = new TAboutBox(form_);
    QTimer::singleShot(0, about, [&] {
      shownTitle = QApplication::activeModalWidget() == about ? about->windowTitle() : QString();
      const auto* icon = about->findChild<QLabel*>(QStringLiteral("ProgramIcon"));
      iconShown = icon != nullptr && !icon->pixmap().isNull();
      about->reject();
    });
    return about;
  });
  form_->SetDialogs(dialogs);
  EXPECT_EQ(made, 0);

  form_->Action(QStringLiteral("EditSys1"))->trigger();
  form_->Action(QStringLiteral("EditSys1"))->trigger();
  EXPECT_EQ(made, 1);
  ASSERT_NE(sysEdit, nullptr);
  EXPECT_EQ(sysEdit->shows, 2);
  EXPECT_EQ(sysEdit->parent(), form_);

  form_->Action(QStringLiteral("HelpAbout1"))->trigger();
  EXPECT_EQ(made, 2);
  EXPECT_EQ(shownTitle, QStringLiteral("バージョン情報"));
  EXPECT_TRUE(iconShown);
  EXPECT_FALSE(about->isVisible());
}

TEST_F(MainWindowTest, TheCheckToolsNeedTheirData) {
  ui_.ExpectMessage(kNoWinning, kMessageCaption);
  form_->Action(QStringLiteral("ExecEsy1"))->trigger();
  ui_.ExpectMessage(kNoTargets, kMessageCaption);
  form_->Action(QStringLiteral("ExecChk1"))->trigger();
  EXPECT_EQ(esyCheck_.shows + cntCheck_.shows, 0);

  AddEntry("1等", {{"1", "1"}});  // the easy check needs no targets
  form_->Action(QStringLiteral("ExecEsy1"))->trigger();
  EXPECT_EQ(esyCheck_.shows, 1);
  AddTarget("a", "1", "1");
  form_->Action(QStringLiteral("ExecChk1"))->trigger();
  EXPECT_EQ(cntCheck_.shows, 1);
}

TEST_F(MainWindowTest, CommandKeysWorkWhateverControlHasTheFocus) {
  LoadSample();
  form_->FormActivate();
  testing::PickFilter(*form_, 0);
  form_->show();
  SelectRows({0, 1, 2});

  // Offscreen, the window does not get the activation back after a modal dialog: give
  // it back before each key, as the window manager would.
  const auto press = [&](QWidget* control, Qt::Key key) {
    QApplication::setActiveWindow(form_);
    control->setFocus();
    QTest::keyClick(control, key, Qt::ControlModifier);
  };
  press(form_->ListView2(), Qt::Key_A);
  EXPECT_EQ(atrEdit_.shows, 1);
  press(form_->ListView2(), Qt::Key_C);
  EXPECT_EQ(cntCheck_.shows, 1);
  ui_.ExpectMessage(QStringLiteral("2本、当たっています！(^o^)丿"));
  press(form_->ListView2(), Qt::Key_X);
  EXPECT_EQ(ui_.Messages().size(), 1u);
  press(form_->ListView1(), Qt::Key_A);
  EXPECT_EQ(atrEdit_.shows, 2);
  press(form_->ListView1(), Qt::Key_D);
  EXPECT_EQ(schEdit_.shows, 1);
  press(form_->ComboBox1(), Qt::Key_E);
  EXPECT_EQ(esyCheck_.shows, 1);
  press(form_->ComboBox1(), Qt::Key_Y);
  EXPECT_EQ(sysEdit_.shows, 1);
}

TEST_F(MainWindowTest, HelpMenuOpensTheHelpFileAndTheWebPage) {
  WriteFile("luckyscope.chm", "ITSF");
  form_->Action(QStringLiteral("HelpItem"))->trigger();
  ASSERT_EQ(ui_.HelpCalls().size(), 1u);
  EXPECT_EQ(ui_.HelpCalls()[0].kind, HelpCallKind::DisplayTopic);
  EXPECT_EQ(ui_.HelpCalls()[0].helpFile, Path("luckyscope.chm"));
  form_->Action(QStringLiteral("HelpWebItem"))->trigger();
  ASSERT_EQ(ui_.Urls().size(), 1u);
  EXPECT_EQ(ui_.Urls()[0], TSDIAppForm::WebPageAddress());
  EXPECT_TRUE(ui_.Urls()[0].startsWith(QStringLiteral("http")));
}

TEST_F(MainWindowTest, WithoutABrowserTheWebPageCommandSaysSo) {
  ui_.SetBrowserAvailable(false);
  ui_.ExpectMessage(QStringLiteral("Webページを開けませんでした（ブラウザーが見つかりません）。\n") +
                    TSDIAppForm::WebPageAddress());
  form_->Action(QStringLiteral("HelpWebItem"))->trigger();
}

TEST_F(MainWindowTest, FilesFromTheCommandLineOpenByKindWithTheSaveQuestions) {
  WriteFile("t.dat", "\"a\",\"1\",\"11\"\r\n\"b\",\"2\",\"22\"\r\n");
  WriteFile("w.ban", "1等,1\r\n01,11\r\n");
  WriteFile("x.txt", "x");
  struct Case {
    QStringList files;
    std::vector<QString> messages;  // shown in order: questions answered No
    int targets;
    int winning;
  };
  const auto path = [this](const char* name) { return QFile::decodeName(Path(name).c_str()); };
  const Case cases[] = {
      {{path("w.ban"), path("t.dat")}, {}, 2, 1},
      // Unsaved tickets: the question comes first, No loads the file all the same.
      {{path("t.dat")}, {QStringLiteral("現在の検索対象データをセーブしますか？")}, 2, 1},
      {{path("gone.ban"), path("x.txt")},
       {QStringLiteral("ファイルを開けません。\n") + path("gone.ban"),
        QStringLiteral("選択されたファイルは使用できません。")},
       2, 1},
  };
  for (const Case& c : cases) {
    if (!c.messages.empty() && c.messages.front().startsWith(QStringLiteral("現在"))) AddTarget("c", "3", "33");
    for (const QString& text : c.messages) ui_.ExpectMessage(text).Answer(text.endsWith(u'？') ? kAnswerNo : kAnswerOk);
    form_->OpenFiles(c.files);
    EXPECT_EQ(ui_.PendingSteps(), 0u) << c.files.join(' ').toStdString();
    EXPECT_EQ(Store().TargetCount(), c.targets);
    EXPECT_EQ(Store().WinningCount(), c.winning);
  }
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(MainWindowTest, MenuItemsWithTheirOwnCaptionRunTheirCommand) {
  ui_.ExpectMessage(QStringLiteral("保存するデータがありません。"));
  form_->Action(QStringLiteral("FileSaveItem"))->trigger();
  form_->show();
  QSignalSpy closed(form_, &TSDIAppForm::Closed);
  form_->Action(QStringLiteral("FileExitItem"))->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(form_->isVisible());
}

}  // namespace
}  // namespace luckyscope
