// The pieces around the main window: the single-instance lock, the list sort
// comparison and the about box.

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/about_box.h"
#include "app/single_instance.h"
#include "tests/support/test_application.h"
#include "ui/chm_reader.h"
#include "ui/list_compare.h"

namespace luckyscope {
namespace {

TEST(SingleInstanceTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/luckyscope";
  SingleInstanceLock first(path, false);
  SingleInstanceLock second(path, false);
  ASSERT_EQ(first.Acquire(), SingleInstanceLock::Result::Acquired);
  EXPECT_EQ(second.Acquire(), SingleInstanceLock::Result::HeldByAnother);
  first.Release();
  EXPECT_EQ(second.Acquire(), SingleInstanceLock::Result::Acquired);
}

TEST(SingleInstanceTest, ThePrivateFolderIsMadeClosedAndOneOpenToOthersIsRefused) {
  QTemporaryDir dir;
  const std::string made = dir.path().toStdString() + "/made";
  SingleInstanceLock lock(made + "/luckyscope", true);
  ASSERT_EQ(lock.Acquire(), SingleInstanceLock::Result::Acquired) << lock.Error();
  struct stat st {};
  ASSERT_EQ(::stat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Someone else's folder, or a link to one, could hold the lock against this user.
  const std::string open = dir.path().toStdString() + "/open";
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
  SingleInstanceLock inOpen(open + "/luckyscope", true);
  EXPECT_EQ(inOpen.Acquire(), SingleInstanceLock::Result::Failed);
  const std::string linked = dir.path().toStdString() + "/linked";
  ASSERT_EQ(::symlink(made.c_str(), linked.c_str()), 0);
  SingleInstanceLock viaLink(linked + "/luckyscope", true);
  EXPECT_EQ(viaLink.Acquire(), SingleInstanceLock::Result::Failed);
}

// With XDG_RUNTIME_DIR unset, the /tmp folder somebody else took (their folder, a link,
// a folder open to others) sends the lock to the user's own state folder; a second copy
// is refused there, and also once the /tmp folder is given back; when neither folder
// can be used the failure names both.
TEST(SingleInstanceTest, ATakenTmpFolderFallsBackToTheHomeAndStillRefusesASecondCopy) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string root = dir.path().toStdString();
  const bool root_user = ::geteuid() == 0;  // only root can plant a folder owned by someone else
  struct Case {
    const char* what;
    std::function<void(const std::string& folder)> plant;  // makes the /tmp folder unusable
    bool needsRoot;
  };
  const std::vector<Case> cases{
      {"another user's folder",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         EXPECT_EQ(::chown(f.c_str(), 4242, 4242), 0);
       },
       true},
      {"a link to a folder of this user",
       [&](const std::string& f) {
         ::mkdir((root + "/mine").c_str(), 0700);
         ::symlink((root + "/mine").c_str(), f.c_str());
       },
       false},
      {"a folder open to others",
       [](const std::string& f) {
         ::mkdir(f.c_str(), 0700);
         ::chmod(f.c_str(), 0777);
       },
       false},
      {"a file", [](const std::string& f) { ::close(::open(f.c_str(), O_WRONLY | O_CREAT, 0600)); }, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && !root_user) continue;
    LockEnvironment env;
    env.tmp = root + "/tmp" + std::to_string(++n);
    ASSERT_EQ(::mkdir(env.tmp.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(env.tmp.c_str(), 01777), 0);
    env.home = root + "/home" + std::to_string(n);
    env.uid = ::getuid();
    const std::vector<std::string> paths = LockPaths(env);
    ASSERT_EQ(paths.size(), 2u);
    const std::string tmpFolder = env.tmp + "/luckyscope-" + std::to_string(env.uid);
    const std::string stateFolder = env.home + "/.local/state/luckyscope";
    EXPECT_EQ(paths[0], tmpFolder + "/luckyscope");
    EXPECT_EQ(paths[1], stateFolder + "/luckyscope");
    c.plant(tmpFolder);

    SingleInstanceLock first(paths, true);
    ASSERT_EQ(first.Acquire(), SingleInstanceLock::Result::Acquired) << first.Error();
    struct stat st {};
    ASSERT_EQ(::lstat(stateFolder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    SingleInstanceLock second(paths, true);
    EXPECT_EQ(second.Acquire(), SingleInstanceLock::Result::HeldByAnother);
    // The other user gives the /tmp name back: a copy started now makes its own /tmp
    // folder, and still meets the first copy's lock in the home folder.
    ::unlink(tmpFolder.c_str());
    ::rmdir(tmpFolder.c_str());
    SingleInstanceLock third(paths, true);
    EXPECT_EQ(third.Acquire(), SingleInstanceLock::Result::HeldByAnother);
    first.Release();
    EXPECT_EQ(third.Acquire(), SingleInstanceLock::Result::Acquired) << third.Error();
  }

  // No safe place at all: the /tmp folder taken and the state folder a link.
  LockEnvironment env;
  env.tmp = root + "/tmp-none";
  ASSERT_EQ(::mkdir(env.tmp.c_str(), 01777), 0);
  env.stateHome = root + "/state";
  env.home = root + "/unused";
  env.uid = ::getuid();
  const std::vector<std::string> paths = LockPaths(env);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[1], root + "/state/luckyscope/luckyscope");
  const std::string tmpFolder = env.tmp + "/luckyscope-" + std::to_string(env.uid);
  ASSERT_EQ(::mkdir(tmpFolder.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((root + "/state").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(root.c_str(), (root + "/state/luckyscope").c_str()), 0);
  SingleInstanceLock none(paths, true);
  EXPECT_EQ(none.Acquire(), SingleInstanceLock::Result::Failed);
  EXPECT_NE(none.Error().find(tmpFolder), std::string::npos) << none.Error();
  EXPECT_NE(none.Error().find(root + "/state/luckyscope"), std::string::npos) << none.Error();
  EXPECT_EQ(none.Folders(), (std::vector<std::string>{tmpFolder, root + "/state/luckyscope"}));

  // With XDG_RUNTIME_DIR set, the lock lives there alone; relative state folders do
  // not count.
  env.runtimeDir = root + "/run";
  EXPECT_EQ(LockPaths(env), std::vector<std::string>{root + "/run/luckyscope"});
  env.runtimeDir.clear();
  env.stateHome = "relative";
  env.home = "-x";
  EXPECT_EQ(LockPaths(env).size(), 1u);
}

// What a process has open, by the files the descriptors name.
std::vector<std::string> OpenFiles(const std::string& pid) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + pid + "/fd", error)) {
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
    if (!error) files.push_back(target.string());
  }
  return files;
}

// The lock is opened close-on-exec, and the child that reads the help file keeps
// nothing of the program's but the standard streams and its pipe: a program that
// crashes while the child reads must not leave its lock held by the child.
TEST(SingleInstanceTest, TheHelpReadingChildHoldsNoneOfTheProgramsDescriptors) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.path().toStdString() + "/luckyscope";
  SingleInstanceLock lock(std::vector<std::string>{path}, true);
  ASSERT_EQ(lock.Acquire(), SingleInstanceLock::Result::Acquired) << lock.Error();
  int lockFd = -1;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == path)
      lockFd = std::stoi(entry.path().filename().string());
  }
  ASSERT_GE(lockFd, 0);
  EXPECT_NE(::fcntl(lockFd, F_GETFD) & FD_CLOEXEC, 0);

  // A watcher stops each reading child it finds once the child has opened the help
  // file (so past any closing), looks at what it holds and lets it go on.
  const std::string help = LUCKYSCOPE_HELP_FILE;
  const std::string children = "/proc/self/task/" + std::to_string(::getpid()) + "/children";
  std::atomic<bool> stop{false};
  std::atomic<bool> caught{false};
  std::vector<std::string> seen;  // the watcher's until caught
  std::thread watcher([&] {
    while (!stop && !caught) {
      std::ifstream list(children);
      std::string child;
      while (list >> child) {
        ::kill(std::stoi(child), SIGSTOP);
        const std::vector<std::string> files = OpenFiles(child);
        ::kill(std::stoi(child), SIGCONT);
        if (!caught && std::find(files.begin(), files.end(), help) != files.end()) {
          seen = files;
          caught = true;
        }
      }
    }
  });
  for (int attempt = 0; attempt < 500 && !caught; ++attempt) {
    ChmReader reader;
    EXPECT_TRUE(reader.Open(help));
  }
  stop = true;
  watcher.join();
  ASSERT_TRUE(caught) << "no reading child was caught with the help file open";
  EXPECT_EQ(std::count(seen.begin(), seen.end(), path), 0) << "the child holds the lock";
  // Standard streams, the pipe and the help file.
  EXPECT_LE(seen.size(), 5u);
}

ReportRow Row(const char* no, const char* name) { return ReportRow{QString::fromUtf8(no), {QString::fromUtf8(name)}}; }

TEST(CompareListItemsTest, NumbersByValueTextsWithoutLetterCaseTheKeyGivesTheDirection) {
  EXPECT_LT(CompareListItems(Row("9", ""), Row("10", ""), 1), 0);  // by value, not by text
  EXPECT_GT(CompareListItems(Row("9", ""), Row("10", ""), -1), 0);
  EXPECT_LT(CompareListItems(Row("x", ""), Row("1", ""), 1), 0);  // not a number: 0
  EXPECT_EQ(CompareListItems(Row("7", "a"), Row("7", "b"), 1), 0);
  EXPECT_EQ(CompareListItems(Row("1", "Tanaka"), Row("2", "tanaka"), 2), 0);
  EXPECT_LT(CompareListItems(Row("1", "alpha"), Row("2", "Beta"), 2), 0);
  EXPECT_GT(CompareListItems(Row("1", "alpha"), Row("2", "Beta"), -2), 0);
}

TEST(AboutBoxTest, EnterClosesItWithOk) {
  TestApplication();
  TAboutBox box;
  EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("ProductName"))->text(), QStringLiteral("ラッキースコープ！"));
  EXPECT_FALSE(box.findChild<QLabel*>(QStringLiteral("ProgramIcon"))->pixmap().isNull());
  bool focused = false;
  QTimer::singleShot(0, &box, [&] {
    QApplication::setActiveWindow(&box);
    focused = box.OKButton()->hasFocus();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box, Qt::Key_Return);
  });
  QTimer::singleShot(5000, &box, [&] { box.reject(); });  // never hangs
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  EXPECT_TRUE(focused);
}

}  // namespace
}  // namespace luckyscope
