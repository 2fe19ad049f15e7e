// The real program, twice, in a real X server: the second copy shows its refusal and
// ends with exit code 1 while the first keeps running. Needs Xvfb and xdotool; skipped
// without them. Every wait is bounded, and every process it starts is ended.

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "tests/support/test_application.h"

#ifndef LUCKYSCOPE_EXE
#error "LUCKYSCOPE_EXE must name the program under test"
#endif

namespace luckyscope {
namespace {

// Ends a process when the test leaves, however it leaves.
struct Reaper {
  QProcess& process;
  ~Reaper() {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
      process.kill();
      process.waitForFinished(3000);
    }
  }
};

class SecondCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    xvfb_ = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    xdotool_ = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xvfb_.isEmpty() || xdotool_.isEmpty()) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    ASSERT_TRUE(base_.isValid());
    ASSERT_TRUE(runtime_.isValid());
    QFile::setPermissions(runtime_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // A settings file, so that the first copy starts without its first-start message.
    QFile settings(base_.filePath(QStringLiteral("luckyscope.dat")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  }

  // Starts Xvfb on a display it picks itself; the display's name, or empty.
  QString StartServer() {
    xserver_.setProgram(xvfb_);
    xserver_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp")});
    xserver_.start();
    if (!xserver_.waitForStarted(5000)) return {};
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n') && clock.elapsed() < 15000 && xserver_.state() == QProcess::Running) {
      xserver_.waitForReadyRead(500);
      number += xserver_.readAllStandardOutput();
    }
    number = number.trimmed();
    return number.isEmpty() ? QString() : QStringLiteral(":") + QString::fromLatin1(number);
  }

  QProcessEnvironment ProgramEnvironment(const QString& display) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the real X11 platform
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());  // a lock of its own
    // In a sanitizer build, what the desktop libraries keep until exit would change the
    // exit code that this test reads.
    if (env.contains(QStringLiteral("ASAN_OPTIONS"))) {
      env.insert(QStringLiteral("ASAN_OPTIONS"),
                 env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    }
    return env;
  }

  // The ids of the visible windows whose names match, waiting up to `ms` for one.
  QStringList WaitForWindows(const QString& display, const QString& pattern, int ms) {
    QElapsedTimer clock;
    clock.start();
    do {
      QProcess search;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(QStringLiteral("DISPLAY"), display);
      search.setProcessEnvironment(env);
      search.start(xdotool_,
                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
      if (search.waitForFinished(5000)) {
        const QString found = QString::fromLatin1(search.readAllStandardOutput()).trimmed();
        if (!found.isEmpty()) return found.split(u'\n');
      }
      QThread::msleep(100);
    } while (clock.elapsed() < ms);
    return {};
  }

  bool Xdotool(const QString& display, const QStringList& args) {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    run.setProcessEnvironment(env);
    run.start(xdotool_, args);
    return run.waitForFinished(5000) && run.exitCode() == 0;
  }

  QString xvfb_;
  QString xdotool_;
  QTemporaryDir base_;
  QTemporaryDir runtime_;
  QProcess xserver_;
};

TEST_F(SecondCopyTest, IsRefusedWhileTheFirstKeepsRunning) {
  Reaper serverReaper{xserver_};
  const QString display = StartServer();
  ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start: " << xserver_.readAllStandardError().toStdString();

  QProcess first;
  Reaper firstReaper{first};
  first.setProgram(QStringLiteral(LUCKYSCOPE_EXE));
  first.setWorkingDirectory(base_.path());
  first.setProcessEnvironment(ProgramEnvironment(display));
  first.start();
  ASSERT_TRUE(first.waitForStarted(5000));
  const QStringList mainWindows = WaitForWindows(display, QStringLiteral("^ラッキースコープ！$"), 30000);
  ASSERT_EQ(mainWindows.size(), 1) << "the first copy showed no window: " << first.readAllStandardError().toStdString();

  QProcess second;
  Reaper secondReaper{second};
  second.setProgram(QStringLiteral(LUCKYSCOPE_EXE));
  second.setWorkingDirectory(base_.path());
  second.setProcessEnvironment(ProgramEnvironment(display));
  second.start();
  ASSERT_TRUE(second.waitForStarted(5000));
  const QStringList refusals = WaitForWindows(display, QStringLiteral("^ヒットメモ$"), 30000);
  ASSERT_EQ(refusals.size(), 1) << "the second copy showed no message: " << second.readAllStandardError().toStdString();
  // The second copy opened no main window of its own.
  EXPECT_EQ(WaitForWindows(display, QStringLiteral("^ラッキースコープ！$"), 0), mainWindows);

  // Enter presses the message's OK button.
  ASSERT_TRUE(Xdotool(display, {QStringLiteral("windowfocus"), QStringLiteral("--sync"), refusals.front()}));
  ASSERT_TRUE(Xdotool(display, {QStringLiteral("key"), QStringLiteral("Return")}));
  ASSERT_TRUE(second.waitForFinished(15000)) << "the second copy did not end after its message";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 1);

  // The first copy runs on with its window.
  QThread::msleep(300);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(WaitForWindows(display, QStringLiteral("^ラッキースコープ！$"), 2000), mainWindows);
}

}  // namespace
}  // namespace luckyscope
