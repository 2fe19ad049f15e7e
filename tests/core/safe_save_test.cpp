// A save that fails part-way never costs the user the file they had.

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/file_test_util.h"

namespace luckyscope::testing {
namespace {

using SafeSave = CoreInFolder;

TEST_F(SafeSave, EveryFailingWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  for (int i = 0; i < 3; ++i) AddTarget("name", "A", std::to_string(i).c_str());
  AddEntry("T", {{"A", "1"}, {"B", "2"}});
  struct Case {
    const char* name;
    int steps;  // lines written, then the commit
    int (DataCore::*write)(const char*);
  } cases[] = {
      {"t.dat", 3 + 1, &DataCore::WriteTargetFile},
      {"t.csv", 4 + 1, &DataCore::WriteTargetFile},  // marker line first
      {"w.ban", 3 + 1, &DataCore::WriteWinningFile},
  };
  for (const Case& c : cases) {
    const std::string old = "previous contents\r\n";
    PutFile(In(c.name), old);
    for (int step = 1; step <= c.steps; ++step) {
      core->Store().SetTargetsChanged(1);
      core->Store().SetWinningChanged(1);
      core->SetWriteFault(step);
      EXPECT_EQ((core.get()->*c.write)(In(c.name).c_str()), -2) << c.name << " step " << step;
      EXPECT_EQ(GetFile(In(c.name)), old) << c.name << " step " << step;
      EXPECT_EQ(ListFolder(dir).size(), 1u) << c.name << " step " << step;
      EXPECT_EQ(core->Store().TargetsChanged() + core->Store().WinningChanged(), 2);
    }
    core->SetWriteFault(c.steps + 1);  // one step past the commit: nothing fails
    EXPECT_EQ((core.get()->*c.write)(In(c.name).c_str()), 0);
    EXPECT_NE(GetFile(In(c.name)), old);
    core->SetWriteFault(0);
    ASSERT_EQ(::unlink(In(c.name).c_str()), 0);
  }
  // A file that did not exist before does not appear after a failed save.
  core->SetWriteFault(2);
  EXPECT_EQ(core->WriteTargetFile(In("new.dat").c_str()), -2);
  EXPECT_TRUE(ListFolder(dir).empty());
}

TEST_F(SafeSave, SettingsWriteFailureReportsTheDiskAndKeepsThePreviousSettings) {
  SystemSettings s{};
  s.saveResults = 1;
  core->SetSettings(s);
  ASSERT_EQ(core->SaveSettingsFile(), 0);
  const std::string saved = GetFile(In("luckyscope.dat"));
  s.saveResults = 0;
  core->SetSettings(s);
  for (int step = 1; step <= 9; ++step) {
    core->SetWriteFault(step);
    EXPECT_EQ(core->SaveSettingsFile(), 0);
    EXPECT_EQ(GetFile(In("luckyscope.dat")), saved);
    EXPECT_EQ(ListFolder(dir), std::vector<std::string>{"luckyscope.dat"});
  }
  EXPECT_EQ(notifier.messages, std::vector<CoreMessage>(9, CoreMessage::SettingsDiskFull));
  // A settings file that cannot even be created is not reported.
  ASSERT_EQ(core->InitBaseFolder(In("gone").c_str()), 0);
  EXPECT_EQ(core->SaveSettingsFile(), -1);
  EXPECT_EQ(notifier.messages.size(), 9u);
}

TEST_F(SafeSave, ModesAndLinksOfReplacedFilesStay) {
  AddTarget("a", "b", "c");
  mode_t mask = ::umask(027);
  ASSERT_EQ(core->WriteTargetFile(In("new.dat").c_str()), 0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(In("new.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  PutFile(In("own.dat"), "x");
  ASSERT_EQ(::chmod(In("own.dat").c_str(), 0600), 0);
  ASSERT_EQ(core->WriteTargetFile(In("own.dat").c_str()), 0);
  ASSERT_EQ(::stat(In("own.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  ASSERT_EQ(::symlink("own.dat", In("link.dat").c_str()), 0);
  AddTarget("d", "e", "f");
  ASSERT_EQ(core->WriteTargetFile(In("link.dat").c_str()), 0);
  ASSERT_EQ(::lstat(In("link.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(GetFile(In("own.dat")), "\"a\",\"b\",\"c\"\r\n\"d\",\"e\",\"f\"\r\n");
}

// A real full disk: a tiny tmpfs (needs the right to mount, as root in a container
// that allows it; skipped elsewhere).
TEST_F(SafeSave, FullFileSystemKeepsTheOldFile) {
  const std::string mnt = In("small");
  ASSERT_EQ(::mkdir(mnt.c_str(), 0755), 0);
  if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mnt};
  const std::string file = mnt + "/t.dat";
  PutFile(file, "\"old\",\"A\",\"1\"\r\n");
  // Fill what is left but a little, so that the old file fits and the new does not.
  {
    FILE* f = std::fopen((mnt + "/filler").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string block(1024, 'z');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {}
    std::fclose(f);
  }
  for (int i = 0; i < 2000; ++i) AddTarget("a long name to fill the disk", "A", "123456");
  EXPECT_EQ(core->WriteTargetFile(file.c_str()), -2);
  EXPECT_EQ(GetFile(file), "\"old\",\"A\",\"1\"\r\n");
  EXPECT_EQ(ListFolder(mnt), (std::vector<std::string>{"filler", "t.dat"}));
  EXPECT_EQ(core->Store().TargetsChanged(), 1);
}

}  // namespace
}  // namespace luckyscope::testing
