// The easy-check log writer on real files: what the dialog tests cannot reach through
// the dialog (a folder, a pipe nobody reads, a full disk).

#include "checks/easy_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include "tests/checks/check_test_support.h"
#include "tests/system/small_mount.h"

namespace luckyscope {
namespace {

TEST(AppendLogLineTest, UnusablePathsAndAFullDisk) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString();
  EXPECT_EQ(AppendLogLine(base.c_str(), "x"), kLogNotOpened) << "a folder";
  const std::string fifo = base + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(AppendLogLine(fifo.c_str(), "x"), kLogNotOpened) << "a pipe nobody reads must not hang the check";
  // A device is no log file; a real full disk fails the write.
  EXPECT_EQ(AppendLogLine("/dev/full", "x\r\n"), kLogNotOpened);
  testing::SmallMount disk(base + "/small", "64k");
  if (!disk.Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.Error();
  disk.Fill("filler");
  EXPECT_EQ(AppendLogLine((disk.Path() + "/check.log").c_str(), std::string(64 * 1024, 'x')), kLogWriteFailed);
}

}  // namespace
}  // namespace luckyscope
