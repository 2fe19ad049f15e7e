// A user's tour of the real program in a real X server, driven from outside with
// xdotool: the first start in an empty folder, the open dialog (a path typed into its
// name field), the search and its result, a filter, every dialog opened and closed,
// the easy check with a log, the targets saved with their results, the close with its
// save question, and a second start that finds the settings kept. It checks the files
// the program wrote and takes a picture of every window it meets (into
// $LUCKYSCOPE_TOUR_SHOTS when set, else a temporary folder). Skipped without Xvfb and
// xdotool; every wait is bounded.

#include <cstdio>
#include <string>
#include <tuple>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "tests/support/test_application.h"
#include "tests/support/x_session.h"

#ifndef LUCKYSCOPE_EXE
#error "LUCKYSCOPE_EXE must name the program under test"
#endif

namespace luckyscope::testing {
namespace {

const QString kMainWindow = QStringLiteral("^ラッキースコープ！( - .*)?$");
const QString kMessage = QStringLiteral("^ヒットメモ$");
const QString kReturn = QStringLiteral("Return");
const QString kEscape = QStringLiteral("Escape");

QByteArray Cp932(const char* utf8) {
  // The few CP932 texts the files hold, spelled out so that no codec is needed here.
  const std::string text = utf8;
  if (text == "山田") return QByteArray("\x8E\x52\x93\x63");
  if (text == "佐藤") return QByteArray("\x8D\xB2\x93\xA1");
  if (text == "鈴木") return QByteArray("\x97\xE9\x96\xD8");
  if (text == "1等") return QByteArray("1\x93\x99");
  if (text == "2等") return QByteArray("2\x93\x99");
  if (text == "×") return QByteArray("\x81\x7E");
  ADD_FAILURE() << "no CP932 spelling for " << text;
  return {};
}

QByteArray Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class WindowTour : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    if (!x_.Missing().isEmpty()) GTEST_SKIP() << x_.Missing().toStdString();
    ASSERT_TRUE(base_.isValid() && data_.isValid() && runtime_.isValid() && temporaryShots_.isValid());
    QFile::setPermissions(runtime_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    shots_ = qEnvironmentVariable("LUCKYSCOPE_TOUR_SHOTS", temporaryShots_.path());
    QDir().mkpath(shots_);
    Write(data_.filePath(QStringLiteral("targets.dat")), "\"" + Cp932("山田") + "\",\"01\",\"123456\"\r\n\"" +
                                                             Cp932("佐藤") + "\",\"02\",\"222222\"\r\n\"" +
                                                             Cp932("鈴木") + "\",\"03\",\"333333\"\r\n");
    Write(data_.filePath(QStringLiteral("winning.ban")),
          Cp932("1等") + ",1\r\n01,123456\r\n" + Cp932("2等") + ",2\r\n*,*33\r\n09,999999\r\n");
    ASSERT_TRUE(x_.Start()) << x_.Error().toStdString();
  }

  static void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  void StartProgram() {
    program_.setProgram(QStringLiteral(LUCKYSCOPE_EXE));
    program_.setWorkingDirectory(base_.path());
    program_.setProcessEnvironment(x_.ProgramEnvironment(runtime_.path()));
    program_.start();
    ASSERT_TRUE(program_.waitForStarted(5000));
  }

  // The program's one visible window other than the main window, waiting for it.
  QString Dialog(int ms = 30000) {
    QElapsedTimer clock;
    clock.start();
    do {
      for (const QString& w : x_.WindowsOf(program_.processId())) {
        if (w != main_) return w;
      }
      QThread::msleep(100);
    } while (clock.elapsed() < ms);
    return {};
  }
  void Shot(const QString& window, const char* name) {
    const QString path = shots_ + QStringLiteral("/") + QString::fromLatin1(name) + QStringLiteral(".png");
    if (x_.Screenshot(window, path)) ++shotCount_;
  }
  // Waits until only the main window is left.
  void ExpectDialogGone(const char* what) {
    QElapsedTimer clock;
    clock.start();
    while (x_.WindowsOf(program_.processId()).size() > 1 && clock.elapsed() < 15000) QThread::msleep(100);
    EXPECT_EQ(x_.WindowsOf(program_.processId()), QStringList{main_}) << what << " did not close";
  }
  // Opens a dialog with a key in the main window, pictures it, and closes it.
  QString OpenDialog(const QStringList& keys, const QString& title, const char* shot) {
    EXPECT_TRUE(x_.Keys(main_, keys));
    const QString dialog = Dialog();
    EXPECT_FALSE(dialog.isEmpty()) << shot << ": no dialog";
    if (dialog.isEmpty()) return {};
    EXPECT_EQ(x_.NameOf(dialog), title);
    QThread::msleep(300);  // painted
    Shot(dialog, shot);
    return dialog;
  }
  // The file dialog that the keys open: the path typed into its name field, Enter.
  void ChooseFile(const QStringList& keys, const QString& title, const QString& path, const char* shot) {
    const QString dialog = OpenDialog(keys, title, shot);
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(x_.Type(dialog, path));
    ASSERT_TRUE(x_.Keys(dialog, {kReturn}));
    ExpectDialogGone(shot);
  }

  XSession x_;
  QTemporaryDir base_, data_, runtime_, temporaryShots_;
  QString shots_;
  int shotCount_ = 0;
  QProcess program_;
  QString main_;
};

TEST_F(WindowTour, FromTheFirstStartToTheSettingsKept) {
  ProcessReaper reaper{program_};
  QElapsedTimer tour;
  tour.start();
  const QString base = base_.path();
  const QString targets = data_.filePath(QStringLiteral("targets.dat"));

  // First start in an empty folder: the settings message, then the main window.
  StartProgram();
  const QStringList message = x_.Windows(kMessage, 60000);
  ASSERT_EQ(message.size(), 1) << "no settings message";
  Shot(message.front(), "01-settings-message");
  ASSERT_TRUE(x_.Keys(message.front(), {kReturn}));
  const QStringList mains = x_.Windows(kMainWindow, 60000);
  ASSERT_EQ(mains.size(), 1);
  main_ = mains.front();
  QThread::msleep(300);
  Shot(main_, "02-main-window");

  // The two files, through the open dialog.
  ChooseFile({QStringLiteral("ctrl+o")}, QStringLiteral("開く"), targets, "03-open-dialog");
  ChooseFile({QStringLiteral("ctrl+o")}, QStringLiteral("開く"), data_.filePath(QStringLiteral("winning.ban")),
             "04-open-dialog-again");
  Shot(main_, "05-loaded");

  // The search and its result, then the "当たり" filter picked from the filter box.
  const QString result = OpenDialog({QStringLiteral("ctrl+x")}, QStringLiteral("検索実行結果"), "06-search-result");
  ASSERT_TRUE(x_.Keys(result, {kReturn}));
  ExpectDialogGone("the search result");
  ASSERT_TRUE(x_.Click(main_, 75, 71));
  QThread::msleep(500);
  ASSERT_TRUE(x_.Xdotool(
      {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("Down"), kReturn}));
  QThread::msleep(500);
  Shot(main_, "07-filter-hits");

  // Each dialog opened and closed with Esc.
  for (const auto& [key, title, shot] : {std::tuple{"ctrl+d", "検索対象エディット", "08-target-edit"},
                                         std::tuple{"ctrl+a", "当選番号エディット", "09-winning-edit"},
                                         std::tuple{"ctrl+c", "本数確認", "10-count-check"}}) {
    const QString dialog = OpenDialog({QString::fromLatin1(key)}, QString::fromUtf8(title), shot);
    ASSERT_FALSE(dialog.isEmpty());
    ASSERT_TRUE(x_.Keys(dialog, {kEscape}));
    ExpectDialogGone(shot);
  }
  const QString about =
      OpenDialog({QStringLiteral("alt+h"), QStringLiteral("a")}, QStringLiteral("バージョン情報"), "11-about-box");
  ASSERT_TRUE(x_.Keys(about, {kEscape}));
  ExpectDialogGone("the about box");

  // Settings: the start-up file, results saved with the targets, a log for the check.
  // The focus starts on "キャンセル"; Tab leads to the start-up file, its button, the
  // results box and the log file; Enter in a text box presses OK.
  const QString settings = OpenDialog({QStringLiteral("ctrl+y")}, QStringLiteral("システム設定"), "12-settings");
  ASSERT_TRUE(x_.Keys(settings, {QStringLiteral("Tab")}));
  ASSERT_TRUE(x_.Type(settings, targets));
  ASSERT_TRUE(x_.Keys(settings,
                      {QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space"), QStringLiteral("Tab")}));
  ASSERT_TRUE(x_.Type(settings, QStringLiteral("check.log")));
  Shot(settings, "13-settings-filled");
  ASSERT_TRUE(x_.Keys(settings, {kReturn}));
  ExpectDialogGone("the settings dialog");

  // The easy check: a hit and a miss, each typed, Enter to "実行", Enter to press it.
  const QString easy = OpenDialog({QStringLiteral("ctrl+e")}, QStringLiteral("簡易チェック"), "14-easy-check");
  // The group box holds "*", which matches only a winning group of "*": 333333 hits
  // 2等 (*, *33).
  ASSERT_TRUE(x_.Type(easy, QStringLiteral("333333")));
  ASSERT_TRUE(x_.Keys(easy, {kReturn, kReturn}));
  QThread::msleep(300);
  Shot(easy, "15-easy-check-hit");
  ASSERT_TRUE(x_.Type(easy, QStringLiteral("000000")));
  ASSERT_TRUE(x_.Keys(easy, {kReturn, kReturn}));
  QThread::msleep(300);
  Shot(easy, "16-easy-check-miss");
  ASSERT_TRUE(x_.Keys(easy, {kEscape}));
  ExpectDialogGone("the easy check");
  EXPECT_EQ(Read(base + QStringLiteral("/check.log")), "\"No.00001\",\"\",\"333333\",\"" + Cp932("2等") +
                                                           "\"\r\n\"No.00002\",\"\",\"000000\",\"" + Cp932("×") +
                                                           "\"\r\n");

  // The targets saved with their results.
  ChooseFile({QStringLiteral("ctrl+s")}, QStringLiteral("名前を付けて保存"), base + QStringLiteral("/results.dat"),
             "17-save-dialog");
  EXPECT_EQ(Read(base + QStringLiteral("/results.dat")),
            "\"" + Cp932("山田") + "\",\"01\",\"123456\",\"" + Cp932("1等") + "\"\r\n\"" + Cp932("佐藤") +
                "\",\"02\",\"222222\",\"" + Cp932("×") + "\"\r\n\"" + Cp932("鈴木") + "\",\"03\",\"333333\",\"" +
                Cp932("2等") + "\"\r\n");

  // An unsaved change (the first ticket deleted from the list), then the close: the
  // question, Yes, and the save dialog.
  ASSERT_TRUE(x_.Click(main_, 250, 90));
  ASSERT_TRUE(x_.Keys(main_, {QStringLiteral("Delete")}));
  QThread::msleep(300);
  Shot(main_, "18-ticket-deleted");
  const QString question =
      OpenDialog({QStringLiteral("alt+f"), QStringLiteral("x")}, QStringLiteral("ヒットメモ"), "19-close-question");
  ASSERT_TRUE(x_.Keys(question, {kReturn}));
  const QString save = Dialog();
  ASSERT_FALSE(save.isEmpty()) << "no save dialog after Yes";
  Shot(save, "20-close-save-dialog");
  ASSERT_TRUE(x_.Type(save, base + QStringLiteral("/closing.dat")));
  ASSERT_TRUE(x_.Keys(save, {kReturn}));
  ASSERT_TRUE(program_.waitForFinished(30000)) << "the program did not end after its close";
  EXPECT_EQ(program_.exitCode(), 0);
  EXPECT_EQ(Read(base + QStringLiteral("/closing.dat")), "\"" + Cp932("佐藤") + "\",\"02\",\"222222\",\"" + Cp932("×") +
                                                             "\"\r\n\"" + Cp932("鈴木") + "\",\"03\",\"333333\",\"" +
                                                             Cp932("2等") + "\"\r\n");
  const QByteArray settingsFile = "[SYSTDATA]\r\n" + QFile::encodeName(targets) +
                                  "\r\n1\r\ncheck.log\r\n0\r\n"
                                  "[SYSTDATA2]\r\n0\r\n0\r\n";
  EXPECT_EQ(Read(base + QStringLiteral("/luckyscope.dat")), settingsFile);

  // The second start finds its settings: no message, and the dialog shows them.
  StartProgram();
  const QStringList again = x_.Windows(kMainWindow, 60000);
  ASSERT_EQ(again.size(), 1);
  main_ = again.front();
  QThread::msleep(1000);
  EXPECT_TRUE(x_.Windows(kMessage).isEmpty()) << "a message at the second start";
  const QString kept = OpenDialog({QStringLiteral("ctrl+y")}, QStringLiteral("システム設定"), "21-settings-kept");
  ASSERT_TRUE(x_.Keys(kept, {kEscape}));
  ExpectDialogGone("the settings dialog");
  ASSERT_TRUE(x_.Keys(main_, {QStringLiteral("alt+f"), QStringLiteral("x")}));
  ASSERT_TRUE(program_.waitForFinished(30000)) << "the second run did not end";
  EXPECT_EQ(program_.exitCode(), 0);
  EXPECT_EQ(Read(base + QStringLiteral("/luckyscope.dat")), settingsFile);

  std::printf("window tour: %.1f s, %d pictures in %s\n", static_cast<double>(tour.elapsed()) / 1000.0, shotCount_,
              shots_.toLocal8Bit().constData());
}

}  // namespace
}  // namespace luckyscope::testing
