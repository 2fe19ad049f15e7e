// The real program, twice, in a real X server: the second copy shows its refusal and
// ends with exit code 1 while the first keeps running. Needs Xvfb and xdotool; skipped
// without them. Every wait is bounded, and every process it starts is ended.

#include <memory>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "tests/support/test_application.h"
#include "tests/support/x_session.h"

#ifndef LUCKYSCOPE_EXE
#error "LUCKYSCOPE_EXE must name the program under test"
#endif

namespace luckyscope {
namespace {

using testing::ProcessReaper;

class SecondCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    if (!x_.Missing().isEmpty()) GTEST_SKIP() << x_.Missing().toStdString();
    ASSERT_TRUE(base_.isValid());
    ASSERT_TRUE(runtime_.isValid());
    QFile::setPermissions(runtime_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // A settings file, so that the first copy starts without its first-start message.
    QFile settings(base_.filePath(QStringLiteral("luckyscope.dat")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  }

  // A copy of the program on the test's display, with a lock of its own.
  void Launch(QProcess& copy, const QStringList& files = {}) {
    copy.setProgram(QStringLiteral(LUCKYSCOPE_EXE));
    copy.setArguments(files);
    copy.setWorkingDirectory(base_.path());
    copy.setProcessEnvironment(x_.ProgramEnvironment(runtime_.path()));
    copy.start();
  }

  testing::XSession x_;
  QTemporaryDir base_;
  QTemporaryDir runtime_;
};

TEST_F(SecondCopyTest, IsRefusedWhileTheFirstKeepsRunning) {
  ASSERT_TRUE(x_.Start(QStringLiteral("1024x768x24"))) << "Xvfb did not start: " << x_.Error().toStdString();

  QProcess first;
  ProcessReaper firstReaper{first};
  Launch(first);
  ASSERT_TRUE(first.waitForStarted(5000));
  const QStringList mainWindows = x_.Windows(QStringLiteral("^ラッキースコープ！( - .*)?$"), 30000);
  ASSERT_EQ(mainWindows.size(), 1) << "the first copy showed no window: " << first.readAllStandardError().toStdString();

  QProcess second;
  ProcessReaper secondReaper{second};
  Launch(second);
  ASSERT_TRUE(second.waitForStarted(5000));
  const QStringList refusals = x_.Windows(QStringLiteral("^ヒットメモ$"), 30000);
  ASSERT_EQ(refusals.size(), 1) << "the second copy showed no message: " << second.readAllStandardError().toStdString();
  // The second copy opened no main window of its own.
  EXPECT_EQ(x_.Windows(QStringLiteral("^ラッキースコープ！( - .*)?$"), 0), mainWindows);

  // Enter presses the message's OK button.
  ASSERT_TRUE(x_.Keys(refusals.front(), {QStringLiteral("Return")}));
  ASSERT_TRUE(second.waitForFinished(15000)) << "the second copy did not end after its message";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 1);

  // The first copy runs on with its window.
  QThread::msleep(300);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(x_.Windows(QStringLiteral("^ラッキースコープ！( - .*)?$"), 2000), mainWindows);
}

TEST_F(SecondCopyTest, WithAFileHandsItToTheFirstAndEnds) {
  ASSERT_TRUE(x_.Start(QStringLiteral("1024x768x24"))) << "Xvfb did not start: " << x_.Error().toStdString();
  QFile targets(base_.filePath(QStringLiteral("y.dat")));
  ASSERT_TRUE(targets.open(QIODevice::WriteOnly));
  targets.write("\"a\",\"01\",\"123456\"\r\n");
  targets.close();

  QProcess first;
  ProcessReaper firstReaper{first};
  Launch(first);
  ASSERT_TRUE(first.waitForStarted(5000));
  ASSERT_EQ(x_.Windows(QStringLiteral("^ラッキースコープ！( - .*)?$"), 30000).size(), 1u);
  QProcess second;
  ProcessReaper secondReaper{second};
  Launch(second, {QStringLiteral("y.dat")});  // named relative to its own folder
  ASSERT_TRUE(second.waitForFinished(15000)) << "the second copy did not end";
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  // The first copy opened it; no message and no second main window came up.
  EXPECT_EQ(x_.Windows(QStringLiteral("^ラッキースコープ！ - y.dat / "), 15000).size(), 1u);
  EXPECT_TRUE(x_.Windows(QStringLiteral("^ヒットメモ$"), 0).isEmpty());
  EXPECT_EQ(first.state(), QProcess::Running);
}

}  // namespace
}  // namespace luckyscope
