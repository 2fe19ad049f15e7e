// The easy-check log writer on real files: what the dialog tests cannot reach through
// the dialog (a folder, a pipe nobody reads, a full disk).

#include "checks/easy_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include "tests/checks/check_test_support.h"

namespace luckyscope {
namespace {

TEST(AppendLogLineTest, UnusablePathsAndAFullDisk) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString();
  EXPECT_EQ(AppendLogLine(base.c_str(), "x"), kLogNotOpened) << "a folder";
  const std::string fifo = base + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(AppendLogLine(fifo.c_str(), "x"), kLogNotOpened) << "a pipe nobody reads must not hang the check";
  if (::access("/dev/full", W_OK) == 0) {
    EXPECT_EQ(AppendLogLine("/dev/full", "x\r\n"), kLogWriteFailed);
  }
}

}  // namespace
}  // namespace luckyscope
