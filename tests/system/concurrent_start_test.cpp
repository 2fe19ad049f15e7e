// Twenty copies of the real program started at the same moment in a real X server:
// exactly one runs with its main window, every other shows "すでに起動済みです。" and
// ends with exit code 1 once its message is closed; when the running copy is killed,
// the next start succeeds. Skipped without Xvfb and xdotool.

#include <array>
#include <cstdio>
#include <memory>
#include <set>

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

constexpr int kCopies = 20;
const QString kMainWindow = QStringLiteral("^ラッキースコープ！( - .*)?$");
const QString kMessage = QStringLiteral("^ヒットメモ$");

TEST(ConcurrentStart, ExactlyOneOfTwentyCopiesRuns) {
  TestApplication();
  XSession x;
  if (!x.Missing().isEmpty()) GTEST_SKIP() << x.Missing().toStdString();
  QTemporaryDir base, runtime;
  ASSERT_TRUE(base.isValid() && runtime.isValid());
  QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  // A settings file, so that the copy that runs shows no first-start message.
  QFile settings(base.filePath(QStringLiteral("luckyscope.dat")));
  ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
  settings.write("[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  settings.close();
  ASSERT_TRUE(x.Start()) << x.Error().toStdString();

  // Each copy waits in a shell for the go file, then becomes the program: all twenty
  // start within a few milliseconds of each other.
  const QString go = runtime.filePath(QStringLiteral("go"));
  std::array<std::unique_ptr<QProcess>, kCopies> copies;
  struct KillAll {
    std::array<std::unique_ptr<QProcess>, kCopies>& copies;
    ~KillAll() {
      for (auto& copy : copies) {
        if (!copy) continue;
        ProcessReaper reaper{*copy};  // ends it here
      }
    }
  } killAll{copies};
  for (auto& copy : copies) {
    copy = std::make_unique<QProcess>();
    copy->setProgram(QStringLiteral("/bin/sh"));
    copy->setArguments({QStringLiteral("-c"),
                        QStringLiteral("while [ ! -e \"$0\" ]; do sleep 0.005; done; exec \"$1\""), go,
                        QStringLiteral(LUCKYSCOPE_EXE)});
    copy->setWorkingDirectory(base.path());
    copy->setProcessEnvironment(x.ProgramEnvironment(runtime.path()));
    copy->start();
    ASSERT_TRUE(copy->waitForStarted(5000));
  }
  QThread::msleep(300);
  QFile(go).open(QIODevice::WriteOnly);

  // One main window and nineteen refusals, each from a copy of its own.
  const QStringList mains = x.Windows(kMainWindow, 120000);
  const QStringList refusals = x.Windows(kMessage, 120000, kCopies - 1);
  ASSERT_EQ(mains.size(), 1);
  ASSERT_EQ(refusals.size(), kCopies - 1);
  std::set<qint64> ours;
  for (const auto& copy : copies) ours.insert(copy->processId());
  const qint64 runner = x.PidOf(mains.front());
  EXPECT_EQ(ours.count(runner), 1u);
  std::set<qint64> refused;
  for (const QString& w : refusals) refused.insert(x.PidOf(w));
  EXPECT_EQ(refused.size(), static_cast<std::size_t>(kCopies - 1));
  EXPECT_EQ(refused.count(runner), 0u);

  // Enter closes each refusal; its copy then ends with exit code 1.
  for (const QString& w : refusals) EXPECT_TRUE(x.Keys(w, {QStringLiteral("Return")}));
  int exitedWithOne = 0;
  QProcess* running = nullptr;
  for (auto& copy : copies) {
    if (copy->processId() == runner) {
      running = copy.get();
      continue;
    }
    ASSERT_TRUE(copy->waitForFinished(60000)) << "a refused copy did not end";
    exitedWithOne += copy->exitStatus() == QProcess::NormalExit && copy->exitCode() == 1;
  }
  EXPECT_EQ(exitedWithOne, kCopies - 1);
  ASSERT_NE(running, nullptr);
  EXPECT_EQ(running->state(), QProcess::Running);
  EXPECT_EQ(x.Windows(kMainWindow), mains);

  // Killed without a chance to clean up: the kernel drops its lock, and the next
  // start runs.
  running->kill();
  ASSERT_TRUE(running->waitForFinished(10000));
  QProcess next;
  ProcessReaper nextReaper{next};
  next.setProgram(QStringLiteral(LUCKYSCOPE_EXE));
  next.setWorkingDirectory(base.path());
  next.setProcessEnvironment(x.ProgramEnvironment(runtime.path()));
  next.start();
  ASSERT_TRUE(next.waitForStarted(5000));
  const QStringList again = x.Windows(kMainWindow, 60000);
  if (again.isEmpty()) next.waitForFinished(1000);  // to tell what became of it
  ASSERT_EQ(again.size(), 1) << "no main window after the kill; exit code " << next.exitCode() << " ("
                             << (next.state() == QProcess::Running ? "running" : "ended") << "), messages shown "
                             << x.Windows(kMessage).size() << ", output: " << next.readAllStandardError().toStdString();
  EXPECT_EQ(x.PidOf(again.front()), next.processId());
  EXPECT_TRUE(x.Windows(kMessage).isEmpty());
  std::printf("concurrent start: %d copies, 1 ran, %d refused with exit code 1; the start after killing it ran\n",
              kCopies, exitedWithOne);
}

}  // namespace
}  // namespace luckyscope::testing
