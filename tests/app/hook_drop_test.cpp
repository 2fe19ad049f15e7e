// The application-wide hook as a user meets it: F1 opens the help from the main window
// and from inside every dialog while the key still reaches that dialog, and files
// dragged from a file manager onto the two lists load, or are ignored without a word.
// Keys go in through the window system (QTest on the window), drops as real drag-enter
// and drop events carrying text/uri-list, sent to the lists' rows.

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "dialogs/scan_confirm_dlg.h"
#include "tests/scan/postcard_generator.h"
#include "tests/support/file_test_util.h"
#include "tests/support/list_gestures.h"
#include "tests/support/main_window_harness.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "ui/byte_line_edit.h"
#include "ui/cp932_codec.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

const QString kSaveTargets = QStringLiteral("現在の検索対象データをセーブしますか？");
const QString kSaveWinning = QStringLiteral("現在の当選番号データをセーブしますか？");

using testing::Cp;

QUrl FileUrl(const std::string& path) { return QUrl::fromLocalFile(QFile::decodeName(path.c_str())); }

// Notes every F1 key press that reaches the widgets it watches, and which came first.
class KeyProbe final : public QObject {
 public:
  void Watch(QWidget* window) {
    window->installEventFilter(this);
    for (QWidget* child : window->findChildren<QWidget*>()) child->installEventFilter(this);
  }
  QObject* first = nullptr;
  int presses = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
      if (first == nullptr) first = watched;
      ++presses;
    }
    return false;
  }
};

struct DropOutcome {
  bool enterAccepted = false;
  bool dropAccepted = false;
  Qt::DropAction action = Qt::IgnoreAction;
};

class HookTest : public testing::MainWindowHarness {
 protected:
  void SetUp() override {
    MainWindowHarness::SetUp();
    form_->show();
    QApplication::setActiveWindow(form_);
  }

  void TearDown() override {
    // Nothing unsaved is left, so closing asks nothing.
    Store().SetTargetsChanged(0);
    Store().SetWinningChanged(0);
    MainWindowHarness::TearDown();
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    testing::PutFile(Path(name), bytes);
    return Path(name);
  }

  // Three tickets, two winning entries; ticket 1 hits 1等, ticket 3 hits 2等. All saved.
  void LoadSample() {
    AddTarget("山田", "01", "123456");
    AddTarget("佐藤", "02", "222222");
    AddTarget("鈴木", "03", "333333");
    AddEntry("1等", {{"01", "123456"}});
    AddEntry("2等", {{"*", "*33"}});
    Store().SetTargetsChanged(0);
    Store().SetWinningChanged(0);
    form_->FillWinningList(0);
    form_->FillSearchList(FillMode::ShowAll, 0);
  }

  // A search-target file of two tickets and a winning-number file of one entry.
  std::string TargetFile(const std::string& name = "t.dat") {
    return Write(name, Cp("\"田中\",\"05\",\"555555\"\r\n\"高橋\",\"06\",\"666666\"\r\n"));
  }
  std::string WinningFile(const std::string& name = "w.ban") { return Write(name, Cp("特賞,1\r\n*,*4\r\n")); }

  // Drags the urls over the list's rows and drops them at `at` (the middle by
  // default), as a file manager does, offering copy and move with move proposed;
  // then lets the load that follows the drop run.
  DropOutcome Drop(ReportList* list, const QList<QUrl>& urls, std::optional<QPoint> at = std::nullopt) {
    QWidget* rows = list->viewport();
    const QPoint pos = at.value_or(rows->rect().center());
    QMimeData mime;
    mime.setUrls(urls);
    DropOutcome out;
    QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    enter.ignore();
    QApplication::sendEvent(rows, &enter);
    out.enterAccepted = enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
    QDropEvent drop(QPointF(pos), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    drop.ignore();
    QApplication::sendEvent(rows, &drop);
    out.dropAccepted = drop.isAccepted();
    out.action = drop.dropAction();
    QCoreApplication::processEvents();
    return out;
  }
  DropOutcome Drop(ReportList* list, const std::string& path) { return Drop(list, {FileUrl(path)}); }

  // Runs `open`, which shows a dialog modally; once it is up, `whileOpen` runs with
  // it and the dialog is closed with Cancel.
  void WithModal(const std::function<void()>& open, const std::function<void(QDialog*)>& whileOpen) {
    bool ran = false;
    QTimer::singleShot(0, form_, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      QApplication::setActiveWindow(dialog);
      ran = true;
      whileOpen(dialog);
      dialog->done(QDialog::Rejected);
    });
    open();
    EXPECT_TRUE(ran);
  }

  // Once the confirmation of read numbers is up (the reading done), runs `whileOpen`
  // with it; the test's own action then closes it.
  void WhenConfirmShows(const std::function<void(TScanConfirmDlg&)>& whileOpen, bool& ran) {
    auto* poll = new QTimer(form_);
    QObject::connect(poll, &QTimer::timeout, form_, [poll, whileOpen, &ran] {
      auto* dialog = qobject_cast<TScanConfirmDlg*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      poll->stop();
      poll->deleteLater();
      QApplication::setActiveWindow(dialog);
      ran = true;
      whileOpen(*dialog);
    });
    poll->start(20);
  }
  // A generated postcard scan saved in the base folder.
  std::string CardImage(const std::string& name, std::string& number) {
    const auto scan = testing::GeneratePostcards(testing::CardVariant::Clean, 5);
    number = scan.numbers.front();
    scan.image.save(QFile::decodeName(Path(name).c_str()));
    return Path(name);
  }

  int HelpShows() const {
    int n = 0;
    for (const RecordedHelpCall& call : ui_.HelpCalls()) n += call.kind == HelpCallKind::DisplayTopic;
    return n;
  }
};

// ---------------------------------------------------------------------------
// F1

TEST_F(HookTest, F1InTheMainWindowOpensTheHelpOncePerPressAsTheMenuDoes) {
  form_->Action(QStringLiteral("HelpItem"))->trigger();
  ASSERT_EQ(HelpShows(), 1);
  const std::string menuFile = ui_.HelpCalls().back().helpFile;
  EXPECT_FALSE(menuFile.empty());

  KeyProbe probe;
  probe.Watch(form_);
  form_->ListView2()->setFocus();
  QTest::keyClick(form_->windowHandle(), Qt::Key_F1);
  // The list ignores F1 and it travels up to the window: still one help call.
  EXPECT_EQ(HelpShows(), 2);
  EXPECT_EQ(ui_.HelpCalls().back().helpFile, menuFile);
  EXPECT_EQ(probe.first, form_->ListView2());

  // Other keys, Alt+F1 (the desktop's) and the repeats of a held key open nothing.
  QTest::keyClick(form_->windowHandle(), Qt::Key_F2);
  QTest::keyClick(form_->windowHandle(), Qt::Key_F1, Qt::AltModifier);
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(form_->windowHandle(), &repeat);
  EXPECT_EQ(HelpShows(), 2);
  // Shift or Ctrl held: still the help key.
  QTest::keyClick(form_->windowHandle(), Qt::Key_F1, Qt::ShiftModifier);
  EXPECT_EQ(HelpShows(), 3);
}

TEST_F(HookTest, F1InsideEveryDialogOpensTheHelpAndTheDialogStillGetsTheKey) {
  LoadSample();  // the check tools need both tables
  form_->Action(QStringLiteral("HelpItem"))->trigger();
  const std::string menuFile = ui_.HelpCalls().back().helpFile;
  ui_.ClearRecords();

  // Each dialog opens its own page; the about box, which has none, the start page.
  const struct {
    const char* className;
    const char* action;
    const char* page;
  } commands[] = {
      {"luckyscope::TSchEditDlg", "EditSch1", "::/target_edit.html"},
      {"luckyscope::TAtrEditDlg", "EditAtr1", "::/winning_edit.html"},
      {"luckyscope::TSysEditDlg", "EditSys1", "::/settings.html"},
      {"luckyscope::TEsyCheckDlg", "ExecEsy1", "::/easycheck.html"},
      {"luckyscope::TCntCheckDlg", "ExecChk1", "::/countcheck.html"},
      {"luckyscope::TAboutBox", "HelpAbout1", ""},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.className);
    const int before = HelpShows();
    KeyProbe probe;
    QString shown;
    QWidget* focus = nullptr;
    // The window by value, for the lambda that runs inside the modal step.
    TSDIAppForm* form = form_;
    WithModal([form, &c] { form->Action(QString::fromLatin1(c.action))->trigger(); },
              [&](QDialog* dialog) {
                shown = QString::fromLatin1(dialog->metaObject()->className());
                probe.Watch(dialog);
                focus = dialog->focusWidget();
                QTest::keyClick(dialog->windowHandle(), Qt::Key_F1);
                // The help came while the dialog was up.
                EXPECT_EQ(HelpShows(), before + 1);
              });
    EXPECT_EQ(shown, QString::fromLatin1(c.className));
    EXPECT_EQ(HelpShows(), before + 1);
    EXPECT_EQ(ui_.HelpCalls().back().helpFile, menuFile + c.page);
    // The key went on into the dialog, first to the control that had the focus.
    EXPECT_GE(probe.presses, 1);
    ASSERT_NE(probe.first, nullptr);
    EXPECT_EQ(probe.first, focus);
  }
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

// ---------------------------------------------------------------------------
// Drops

TEST_F(HookTest, ATargetFileLoadsOnlyOnTheTargetListAndResetsTheFilter) {
  LoadSample();
  const std::string file = TargetFile();

  // On the winning-number list: nothing.
  DropOutcome left = Drop(form_->ListView1(), file);
  EXPECT_TRUE(left.enterAccepted);  // any file drag is welcome until it falls
  EXPECT_FALSE(left.dropAccepted);
  EXPECT_EQ(Store().TargetCount(), 3);
  EXPECT_EQ(TargetName(1), QStringLiteral("山田"));

  // On the search-target list, with the filter showing hits only.
  testing::PickFilter(*form_, 1);
  ASSERT_EQ(form_->ListView2()->RowCount(), 0);  // nothing searched yet
  DropOutcome right = Drop(form_->ListView2(), file);
  EXPECT_TRUE(right.dropAccepted);
  EXPECT_EQ(right.action, Qt::CopyAction);  // a move offered by the file manager is a copy
  EXPECT_EQ(Store().TargetCount(), 2);
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{QStringLiteral("田中"), QStringLiteral("高橋")}));
  EXPECT_EQ(form_->ComboBox1()->currentIndex(), 0);
  EXPECT_EQ(form_->ComboBox1()->count(), 4);  // the box keeps its items
  EXPECT_EQ(Store().WinningCount(), 2);       // the other table is left alone
  EXPECT_TRUE(testing::Exists(file));         // and the file too
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(HookTest, AWinningFileDropClearsEveryHitAndRefillsBothLists) {
  LoadSample();
  core_.RunSearch();
  form_->FillSearchList(FillMode::ShowAll, 0);
  ASSERT_EQ(Column(form_->ListView2(), 4), (QStringList{QStringLiteral("1等"), QString(), QStringLiteral("2等")}));

  // On the search-target list a winning-number file does nothing.
  EXPECT_FALSE(Drop(form_->ListView2(), WinningFile()).dropAccepted);
  EXPECT_EQ(Store().WinningCount(), 2);

  EXPECT_TRUE(Drop(form_->ListView1(), WinningFile()).dropAccepted);
  EXPECT_EQ(Store().WinningCount(), 1);
  EXPECT_EQ(Column(form_->ListView1(), 0), QStringList{QStringLiteral("*")});
  EXPECT_EQ(Column(form_->ListView1(), 1), QStringList{QStringLiteral("*4")});
  EXPECT_EQ(form_->ComboBox1()->currentIndex(), 0);
  EXPECT_EQ(form_->ComboBox1()->itemText(2), QStringLiteral("特賞"));
  EXPECT_EQ(Column(form_->ListView2(), 4), (QStringList{QString(), QString(), QString()}));
  for (int n = 1; n <= 3; ++n) {
    SearchTarget t;
    Store().GetTarget(1, n, t);
    EXPECT_EQ(t.hit, 0);
    EXPECT_EQ(t.hitMask, 0u);
  }
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(HookTest, ACsvFileGoesWhereItsFirstLineSays) {
  const std::string winning = Write("w.csv", Cp("#BAN\r\n特賞,1\r\n*,*4\r\n"));
  const std::string targets = Write("t.csv", Cp("#DAT\r\n\"田中\",\"05\",\"555555\"\r\n"));
  EXPECT_FALSE(Drop(form_->ListView2(), winning).dropAccepted);
  EXPECT_FALSE(Drop(form_->ListView1(), targets).dropAccepted);
  EXPECT_EQ(Store().WinningCount() + Store().TargetCount(), 0);
  EXPECT_TRUE(Drop(form_->ListView1(), winning).dropAccepted);
  EXPECT_TRUE(Drop(form_->ListView2(), targets).dropAccepted);
  EXPECT_EQ(Store().WinningCount(), 1);
  EXPECT_EQ(TargetName(1), QStringLiteral("田中"));
}

TEST_F(HookTest, UnsavedWinningNumbersAreOfferedForSavingBeforeADrop) {
  LoadSample();
  Store().SetWinningChanged(1);
  Store().SetTargetsChanged(1);  // not asked about: the drop replaces the winning numbers

  // No: the file loads at once.
  ui_.ExpectMessage(kSaveWinning, kMessageCaption).Answer(kAnswerNo);
  EXPECT_TRUE(Drop(form_->ListView1(), WinningFile()).dropAccepted);
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0].icon, MessageIcon::Question);
  EXPECT_EQ(ui_.Messages()[0].buttons, MessageButtons::YesNo);
  EXPECT_TRUE(ui_.FileDialogs().empty());
  EXPECT_EQ(Store().WinningCount(), 1);
  EXPECT_EQ(Store().WinningChanged(), 0);

  // Yes: the old entries are saved through the save dialog first.
  Store().SetWinningChanged(1);
  ui_.ExpectMessage(kSaveWinning).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Choose(Path("old.ban"));
  Drop(form_->ListView1(), Write("w2.ban", Cp("末等,1\r\n*,*1\r\n")));
  EXPECT_EQ(testing::GetFile(Path("old.ban")), Cp("特賞,1\r\n*,*4\r\n"));
  EXPECT_EQ(ui_.FileDialogs().back().defaultExtension, QStringLiteral("ban"));
  EXPECT_EQ(form_->ComboBox1()->itemText(2), QStringLiteral("末等"));

  // Yes and then Cancel in the save dialog: the table stays.
  Store().SetWinningChanged(1);
  ui_.ExpectMessage(kSaveWinning).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Cancel();
  Drop(form_->ListView1(), WinningFile());
  EXPECT_EQ(form_->ComboBox1()->itemText(2), QStringLiteral("末等"));
  EXPECT_EQ(Store().WinningChanged(), 1);
  EXPECT_EQ(ui_.PendingSteps(), 0u);
}

TEST_F(HookTest, UnsavedTargetsAreOfferedForSavingBeforeATargetDrop) {
  LoadSample();
  Store().SetTargetsChanged(1);
  Store().SetWinningChanged(1);
  ui_.ExpectMessage(kSaveTargets, kMessageCaption).Answer(kAnswerNo);
  EXPECT_TRUE(Drop(form_->ListView2(), TargetFile()).dropAccepted);
  EXPECT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(Store().TargetCount(), 2);
  EXPECT_EQ(Store().TargetsChanged(), 0);
}

TEST_F(HookTest, DropsThatHoldNoSingleUsableFileAreIgnoredWithoutAWord) {
  LoadSample();
  const std::string targets = TargetFile();
  const std::string other = TargetFile("u.dat");

  // Two files at once, both usable.
  EXPECT_FALSE(Drop(form_->ListView2(), {FileUrl(targets), FileUrl(other)}).dropAccepted);
  // A folder, even one named like a data file.
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("f.dat")));
  EXPECT_FALSE(Drop(form_->ListView2(), Path("f.dat")).dropAccepted);
  // A file that is not there, and one that is not a local file.
  EXPECT_FALSE(Drop(form_->ListView2(), Path("gone.dat")).dropAccepted);
  EXPECT_FALSE(Drop(form_->ListView2(), {QUrl(QStringLiteral("https://example.org/t.dat"))}).dropAccepted);
  // A path longer than 511 bytes is not cut to some other name.
  QString deep = dir_.path();
  for (int i = 0; i < 3; ++i) deep += QLatin1Char('/') + QString(200, QLatin1Char('d'));
  ASSERT_TRUE(QDir().mkpath(deep));
  const std::string longPath = QFile::encodeName(deep).toStdString() + "/t.dat";
  testing::PutFile(longPath, "\"x\",\"1\",\"1\"\r\n");
  EXPECT_FALSE(Drop(form_->ListView2(), longPath).dropAccepted);
  // A usable file dropped past the end of the rows' area.
  const QRect rows = form_->ListView2()->viewport()->rect();
  EXPECT_FALSE(Drop(form_->ListView2(), {FileUrl(targets)}, rows.bottomRight() + QPoint(5, 5)).dropAccepted);
  // A drag of plain text is refused from the start.
  QMimeData text;
  text.setText(QStringLiteral("t.dat"));
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QApplication::sendEvent(form_->ListView2()->viewport(), &enter);
  EXPECT_FALSE(enter.isAccepted());

  EXPECT_EQ(Store().TargetCount(), 3);
  EXPECT_EQ(TargetName(1), QStringLiteral("山田"));
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(HookTest, ADroppedNamedPipeIsNotOpened) {
  // Reading a pipe would hold the program until someone writes to it. A helper opens
  // the pipe's other end if a reader ever waits on it, so that this test fails
  // instead of hanging.
  const std::string pipe = Path("p.dat");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::atomic<bool> done{false};
  std::atomic<bool> readerWaited{false};
  std::thread writer([&] {
    while (!done) {
      const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        readerWaited = true;
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const DropOutcome outcome = Drop(form_->ListView2(), pipe);
  done = true;
  writer.join();
  EXPECT_FALSE(readerWaited);
  EXPECT_FALSE(outcome.dropAccepted);
  EXPECT_EQ(Store().TargetCount(), 0);
}

TEST_F(HookTest, ADropBringsTheProgramToTheFront) {
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_EQ(QApplication::activeWindow(), &other);
  // Even a drop that is then ignored.
  Drop(form_->ListView1(), {FileUrl(Path("a.dat")), FileUrl(Path("b.dat"))});
  EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == form_; }, 2000));
}

TEST_F(HookTest, ADropWhileADialogIsOpenChangesNothingUnderIt) {
  const std::string file = TargetFile();
  WithModal([&] { form_->Action(QStringLiteral("HelpAbout1"))->trigger(); },
            [&](QDialog*) { EXPECT_FALSE(Drop(form_->ListView2(), file).dropAccepted); });
  EXPECT_EQ(Store().TargetCount(), 0);
  // Once it is closed, the same drop loads.
  EXPECT_TRUE(Drop(form_->ListView2(), file).dropAccepted);
  EXPECT_EQ(Store().TargetCount(), 2);
}

// ---------------------------------------------------------------------------
// Postcard images: dropped on the search targets or chosen with the edit menu's
// command, their numbers are read and confirmed before anything is added.

TEST_F(HookTest, ImagesDroppedOnTheTargetListAreReadConfirmedAndAppended) {
  LoadSample();
  std::string number;
  const std::string image = CardImage("card.png", number);
  EXPECT_FALSE(Drop(form_->ListView1(), image).dropAccepted);  // not on the winning numbers
  bool ran = false;
  WhenConfirmShows(
      [&](TScanConfirmDlg& dialog) {
        ASSERT_EQ(dialog.Rows().size(), 1u);
        EXPECT_EQ(dialog.Rows()[0].number->text().toStdString(), number);
        EXPECT_TRUE(dialog.Rows()[0].take->isChecked());
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("AddBtn")), Qt::LeftButton);
      },
      ran);
  EXPECT_TRUE(Drop(form_->ListView2(), image).dropAccepted);
  EXPECT_TRUE(ran);
  ASSERT_EQ(Store().TargetCount(), 4);
  EXPECT_EQ(TargetName(4), QStringLiteral("card.png"));
  SearchTarget t{};
  ASSERT_EQ(Store().GetTarget(0, 4, t), 0);
  EXPECT_EQ(t.number, number);
  EXPECT_EQ(Store().TargetsChanged(), 1);
  EXPECT_EQ(form_->ListView2()->RowCount(), 4);
  // "元に戻す" takes the card back.
  form_->Action(QStringLiteral("EditUndoItem"))->trigger();
  EXPECT_EQ(Store().TargetCount(), 3);
  EXPECT_EQ(Store().TargetsChanged(), 0);
  EXPECT_EQ(form_->ListView2()->RowCount(), 3);
}

TEST_F(HookTest, TheEditMenuCommandReadsTheChosenImagesAndCancelAddsNothing) {
  LoadSample();
  QAction* command = form_->Action(QStringLiteral("EditScan1"));
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->text(), QStringLiteral("はがきから読み取り(&R)..."));
  EXPECT_TRUE(form_->findChild<QMenu*>(QStringLiteral("Edit1"))->actions().contains(command));
  std::string number;
  ui_.ExpectOpenDialog().Choose(CardImage("scan.png", number));
  bool ran = false;
  WhenConfirmShows(
      [&](TScanConfirmDlg& dialog) {
        ASSERT_EQ(dialog.Rows().size(), 1u);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("CancelBtn")), Qt::LeftButton);
      },
      ran);
  command->trigger();
  EXPECT_TRUE(ran);
  EXPECT_EQ(Store().TargetCount(), 3);
  EXPECT_EQ(Store().TargetsChanged(), 0);
  EXPECT_EQ(ui_.PendingSteps(), 0u);
}

}  // namespace
}  // namespace luckyscope
