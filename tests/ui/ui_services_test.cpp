// The UI services: the scripted implementation that window tests rely on, and the Qt
// one driven through its real message boxes and file dialogs.

#include <chrono>
#include <functional>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_application.h"
#include "ui/qt_ui_services.h"
#include "ui/user_state.h"

namespace luckyscope {
namespace {

const FileDialogPreset kTargetSave{QStringLiteral("dat"), QStringLiteral("検索対象ファイル(*.dat)|*.dat")};
const FileDialogPreset kOpenAll{QStringLiteral("dat"),
                                QStringLiteral("検索対象ファイル(*.dat)|*.dat|当選番号ファイル(*.ban)|*.ban|"
                                               "CSVファイル(*.csv)|*.csv")};

TEST(ToQtFilter, ConvertsPairsAndKeepsTheRealPatternLast) {
  EXPECT_EQ(ToQtFilter(kOpenAll.filter),
            QStringLiteral("検索対象ファイル(*.dat);;当選番号ファイル(*.ban);;CSVファイル(*.csv)"));
  // A description whose parentheses disagree with the pattern: the pattern wins.
  EXPECT_EQ(ToQtFilter(QStringLiteral("MP3ファイル(*mp3)|*.mp3|その他ファイル(*.*)|*.*")),
            QStringLiteral("MP3ファイル(*mp3) (*.mp3);;その他ファイル(*.*)"));
  EXPECT_EQ(ToQtFilter(QStringLiteral("音|*.wav;*.mp3")), QStringLiteral("音 (*.wav *.mp3)"));
  EXPECT_EQ(ToQtFilter(QStringLiteral("すべて")), QStringLiteral("すべて (*)"));
  EXPECT_EQ(ToQtFilter(QString()), QString());
}

// --- the scripted services ----------------------------------------------------------

TEST(ScriptedUiServices, PlaysTheScriptInOrderAndRecordsEverything) {
  ScriptedUiServices ui;
  ui.ExpectMessage(QStringLiteral("現在の検索対象データをセーブしますか？"), QStringLiteral("ヒットメモ"))
      .Answer(kAnswerYes);
  ui.ExpectSaveDialog().Choose("/tmp/t/targets.dat");
  ui.AnswerNo();
  ui.ExpectOpenDialog().Cancel();

  EXPECT_EQ(ui.MessageBox(QStringLiteral("現在の検索対象データをセーブしますか？"), QStringLiteral("ヒットメモ"),
                          kQuestionYesNo),
            kAnswerYes);
  EXPECT_EQ(ui.SaveFileDialog(kTargetSave), std::optional<std::string>("/tmp/t/targets.dat"));
  EXPECT_EQ(ui.MessageBox(QStringLiteral("q"), QStringLiteral("c"), kQuestionYesNo), kAnswerNo);
  EXPECT_EQ(ui.OpenFileDialog(kOpenAll), std::nullopt);
  EXPECT_EQ(ui.PendingSteps(), 0u);

  ASSERT_EQ(ui.Messages().size(), 2u);
  EXPECT_EQ(ui.Messages()[0].icon, MessageIcon::Question);
  EXPECT_EQ(ui.Messages()[1].answer, kAnswerNo);
  ASSERT_EQ(ui.FileDialogs().size(), 2u);
  EXPECT_EQ(ui.FileDialogs()[0].filter, kTargetSave.filter);
  EXPECT_EQ(ui.FileDialogs()[1].kind, FileDialogKind::Open);
  EXPECT_EQ(ui.UnexpectedCount(), 0);
}

TEST(ScriptedUiServices, AnUnexpectedMessageFailsLoudlyAndGetsASafeAnswer) {
  ScriptedUiServices ui;
  int answer = 0;
  EXPECT_NONFATAL_FAILURE(answer = ui.MessageBox(QStringLiteral("データが更新されています。セーブしますか？"),
                                                 QStringLiteral("ヒットメモ"), kQuestionYesNo),
                          "データが更新されています。セーブしますか？");
  EXPECT_EQ(answer, kAnswerNo);  // never Yes: that would save or overwrite
  EXPECT_NONFATAL_FAILURE(answer = ui.MessageBox(QStringLiteral("x"), QStringLiteral("c"), kExclamationOk),
                          "Unexpected message box");
  EXPECT_EQ(answer, kAnswerOk);
  std::optional<std::string> path = "unset";
  EXPECT_NONFATAL_FAILURE(path = ui.SaveFileDialog(kTargetSave), "Unexpected save dialog");
  EXPECT_EQ(path, std::nullopt);
  EXPECT_EQ(ui.UnexpectedCount(), 3);
  EXPECT_FALSE(ui.Messages()[0].expected);
}

TEST(ScriptedUiServices, WrongTextOrKindFails) {
  ScriptedUiServices ui;
  ui.ExpectMessage(QStringLiteral("検索対象データを入力してください。"));
  EXPECT_NONFATAL_FAILURE(
      ui.MessageBox(QStringLiteral("当選番号データを入力してください。"), QStringLiteral("ヒットメモ"), kExclamationOk),
      "Expected message box");
  ui.ExpectOpenDialog().Choose("/x.dat");
  EXPECT_NONFATAL_FAILURE(ui.SaveFileDialog(kTargetSave), "Expected open dialog");
  // A file dialog where the script waits for a message.
  ui.AnswerOk();
  EXPECT_NONFATAL_FAILURE(ui.OpenFileDialog(kOpenAll), "waited for a message box");
  ui.DropPendingSteps();
}

TEST(ScriptedUiServices, UnusedAnswersFailWhenTheTestEnds) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedUiServices ui;
        ui.ExpectMessage(QStringLiteral("残念！全部はずれです。(T_T)"));
      },
      "残念！全部はずれです。(T_T)");
}

TEST(ScriptedUiServices, RecordsHelpUrlsAndSound) {
  ScriptedUiServices ui;
  ui.HelpDisplayTopic("/base/luckyscope.chm");
  ui.HelpCloseAll();
  ui.OpenUrl(QStringLiteral("https://example.org/luckyscope/"));
  ASSERT_EQ(ui.HelpCalls().size(), 2u);
  EXPECT_EQ(ui.HelpCalls()[0].helpFile, "/base/luckyscope.chm");
  EXPECT_EQ(ui.HelpCalls()[1].kind, HelpCallKind::CloseAll);
  EXPECT_EQ(ui.Urls().size(), 1u);

  SoundBackend& sound = ui.Sound();
  const std::int32_t a = sound.OpenByType(SoundDeviceType::WaveformAudio, "/s/hit.wav");
  EXPECT_TRUE(sound.Play(a));
  sound.Close(a);
  EXPECT_FALSE(sound.Play(a));  // closed devices do not play
  ui.Recorder().failOpens = true;
  EXPECT_EQ(sound.OpenByFileName("/s/miss.mp3"), 0);
  const auto& calls = ui.Recorder().Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].path, "/s/hit.wav");
  EXPECT_EQ(ui.Recorder().PlayCount(), 2);
  EXPECT_TRUE(ui.Recorder().OpenDevices().empty());
}

// --- the Qt services, driven through their real dialogs -----------------------------

// Runs `step` on the next modal widget once it is up (from inside its event loop).
void WhenModal(std::function<void(QWidget*)> step) {
  QTimer::singleShot(0, [step = std::move(step)]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      WhenModal(std::move(step));  // not shown yet: try again
      return;
    }
    step(modal);
  });
}

class QtUiServicesTest : public ::testing::Test {
 protected:
  QApplication& app_ = TestApplication();
  QtUiServices ui_{nullptr};
};

TEST_F(QtUiServicesTest, MessageBoxesShowTheirKindAndAnswerLikeTheButtons) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("ヒットメモ"));
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    box->button(QMessageBox::Yes)->click();
  });
  EXPECT_EQ(ui_.MessageBox(QStringLiteral("セーブしますか？"), QStringLiteral("ヒットメモ"), kQuestionYesNo),
            kAnswerYes);
  EXPECT_EQ(icon, QMessageBox::Question);

  // A Yes/No question answers only through its buttons: Escape and the title bar's
  // close leave it open, whichever button is the default.
  for (MessageFlags flags : {kQuestionYesNo, kQuestionYesNoDefaultNo}) {
    for (int answer : {kAnswerYes, kAnswerNo}) {
      bool stayed = false;
      WhenModal([&](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        w->close();
        stayed = w->isVisible() && QApplication::activeModalWidget() == w;
        qobject_cast<QMessageBox*>(w)->button(answer == kAnswerYes ? QMessageBox::Yes : QMessageBox::No)->click();
      });
      EXPECT_EQ(ui_.MessageBox(QStringLiteral("?"), QStringLiteral("ヒットメモ"), flags), answer);
      EXPECT_TRUE(stayed);
    }
  }

  QString text;
  WhenModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    text = box->text();
    icon = box->icon();
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(ui_.MessageBox(QStringLiteral("2本、当たっています！(^o^)丿"), QStringLiteral("検索実行結果"), kPlainOk),
            kAnswerOk);
  EXPECT_EQ(text, QStringLiteral("2本、当たっています！(^o^)丿"));
  EXPECT_EQ(icon, QMessageBox::NoIcon);
}

// The progress box: the job runs off the window's thread while the box counts; Cancel
// reaches the job through its flag, and the call returns once the job has stopped.
TEST_F(QtUiServicesTest, RunWithProgressRunsTheJobAwayFromTheWindowAndCancelStopsIt) {
  for (const bool pressCancel : {false, true}) {
    QTimer press;
    int shownMaximum = -1;
    QObject::connect(&press, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      shownMaximum = box->maximum();
      if (pressCancel) box->findChild<QPushButton*>()->click();
    });
    press.start(20);
    std::thread::id jobThread;
    const bool finished = ui_.RunWithProgress(QStringLiteral("読み取っています..."), 10, [&](JobProgress& progress) {
      jobThread = std::this_thread::get_id();
      // Ten steps of 60 ms, or with Cancel coming up to 200 of 10 ms.
      for (int i = 0; i < (pressCancel ? 200 : 10) && !progress.cancel; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pressCancel ? 10 : 60));
        progress.done = i + 1;
      }
    });
    EXPECT_EQ(finished, !pressCancel);
    EXPECT_NE(jobThread, std::this_thread::get_id());
    EXPECT_EQ(shownMaximum, 10);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

class QtFileDialogTest : public QtUiServicesTest {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  // Types a name into the dialog's name field and accepts it.
  static void TypeAndAccept(QFileDialog* dialog, const QString& name) {
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(field, nullptr);
    field->setText(name);
    static_cast<QDialog*>(dialog)->accept();  // what the Save/Open button does
  }

  QTemporaryDir folder_;
};

TEST_F(QtFileDialogTest, SaveDialogAppliesThePresetAndAddsTheDefaultExtension) {
  WhenModal([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("dat"));
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("検索対象ファイル(*.dat)")});
    EXPECT_EQ(dialog->selectedNameFilter(), dialog->nameFilters().value(0));
    EXPECT_TRUE(dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text().isEmpty());
    TypeAndAccept(dialog, folder_.filePath(QStringLiteral("当選")));  // no extension typed
  });
  const std::optional<std::string> path = ui_.SaveFileDialog(kTargetSave);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(QFile::decodeName(QByteArray::fromStdString(*path)), folder_.filePath(QStringLiteral("当選.dat")));
}

// A name typed without an extension takes the chosen type's.
TEST_F(QtFileDialogTest, SaveDialogAddsTheChosenTypesExtension) {
  const FileDialogPreset combined{QStringLiteral("dat"),
                                  QStringLiteral("検索対象ファイル(*.dat)|*.dat|当選番号ファイル(*.ban)|*.ban")};
  const struct {
    int filter;
    const char* typed;
    const char* saved;
  } cases[] = {{1, "prizes", "prizes.ban"}, {0, "cards", "cards.dat"}, {1, "list.csv", "list.csv"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    WhenModal([&](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      // What choosing the type in the dialog's type box does.
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      ASSERT_NE(types, nullptr);
      types->setCurrentIndex(c.filter);
      emit types->activated(c.filter);
      emit types->textActivated(types->itemText(c.filter));
      TypeAndAccept(dialog, folder_.filePath(QString::fromUtf8(c.typed)));
    });
    const std::optional<std::string> path = ui_.SaveFileDialog(combined);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, QFile::encodeName(folder_.filePath(QString::fromUtf8(c.saved))).toStdString());
  }
}

TEST_F(QtFileDialogTest, SaveDialogAsksBeforeOverwriting) {
  QFile existing(folder_.filePath(QStringLiteral("old.dat")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  bool asked = false;
  WhenModal([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    // The overwrite question comes up inside accept(); answer it first with Yes.
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      asked = true;
      box->button(QMessageBox::Yes)->click();
    });
    TypeAndAccept(dialog, existing.fileName());
  });
  const std::optional<std::string> path = ui_.SaveFileDialog(kTargetSave);
  EXPECT_TRUE(asked);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(QFile::decodeName(QByteArray::fromStdString(*path)), existing.fileName());
}

TEST_F(QtFileDialogTest, DialogsStartWhereThatKindOfFileWasLastChosenElseInTheDocuments) {
  // The user's documents folder, as xdg-user-dirs names it.
  const QString documents = folder_.filePath(QStringLiteral("書類"));
  const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
  ASSERT_TRUE(QDir().mkpath(documents) && dirs.open(QIODevice::WriteOnly));
  dirs.write("XDG_DOCUMENTS_DIR=\"" + QFile::encodeName(documents) + "\"\n");
  dirs.close();
  QFile::remove(UserStateFile());
  const QString lists = folder_.filePath(QStringLiteral("lists"));
  const QString prints = folder_.filePath(QStringLiteral("prints"));
  ASSERT_TRUE(QDir().mkpath(lists) && QDir().mkpath(prints));
  struct Step {
    QString extension;
    QString expectedStart;
    QString chosenFolder;  // empty: cancelled
    bool printsGone = false;
  };
  const Step steps[] = {
      {QStringLiteral("dat"), documents, lists},
      {QStringLiteral("ban"), lists, {}},  // winning numbers and targets are one kind
      {QStringLiteral("pdf"), documents, prints},
      {QStringLiteral("pdf"), prints, {}},
      {QStringLiteral("pdf"), documents, {}, true},  // a remembered folder that is gone
      {QStringLiteral("dat"), lists, {}},
  };
  for (const Step& step : steps) {
    if (step.printsGone) QDir(prints).removeRecursively();
    WhenModal([&](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->directory().absolutePath(), step.expectedStart) << step.extension.toStdString();
      if (step.chosenFolder.isEmpty()) {
        dialog->reject();
      } else {
        TypeAndAccept(dialog, step.chosenFolder + QStringLiteral("/a.") + step.extension);
      }
    });
    ui_.SaveFileDialog({step.extension, QStringLiteral("*|*.") + step.extension});
  }
  QFile::remove(UserStateFile());
}

}  // namespace
}  // namespace luckyscope
