// The pieces around the main window: the single-instance lock, the list sort
// comparison and the about box.

#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
