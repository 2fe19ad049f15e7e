// A save that fails part-way never costs the user the file they had.

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
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

// Users of no account of their own: the tests run as root and act as them in a child
// process, or give them files.
constexpr uid_t kUser = 54321;
constexpr uid_t kOtherUser = 54322;

// Runs `body` in a child process as `uid`; its result, or -1 when the child could not
// become that user (the test is then skipped by the caller).
int RunAs(uid_t uid, const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) ::_exit(255);
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

// Writes two lines through the safe writer; 0, or the error number of the failure.
int SaveTwoLines(const std::string& path) {
  SafeFileWriter writer;
  if (!writer.Open(path.c_str())) return writer.ErrorNumber();
  if (!writer.WriteLine("new") || !writer.WriteLine("text") || !writer.Commit()) return writer.ErrorNumber();
  return 0;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Where no new file can take the name's place the file is written in place: it keeps
// its inode, its other names, its owner and its mode; a failure before the commit
// leaves it as it was. New files get rw-rw-rw- less the umask; a dangling link is
// written through.
TEST_F(SafeSave, FilesThatCannotBeReplacedAreWrittenInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  const std::string kNew = "new\r\ntext\r\n";
  ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
  // Several hard links: every name sees the new text; faults leave all as they were.
  PutFile(In("a.dat"), "old\r\n");
  ASSERT_EQ(::link(In("a.dat").c_str(), In("b.dat").c_str()), 0);
  for (int step = 1; step <= 3; ++step) {
    const WriteFault fault{step};
    SafeFileWriter writer(&fault);
    ASSERT_TRUE(writer.Open(In("a.dat").c_str()));
    EXPECT_FALSE(writer.WriteLine("new") && writer.WriteLine("text") && writer.Commit()) << step;
    EXPECT_EQ(GetFile(In("b.dat")), "old\r\n") << step;
  }
  const ino_t linked = InodeOf(In("a.dat"));
  EXPECT_EQ(SaveTwoLines(In("a.dat")), 0);
  EXPECT_EQ(GetFile(In("b.dat")), kNew);
  EXPECT_EQ(InodeOf(In("a.dat")), linked);
  // A longer old text is cut to the new length.
  PutFile(In("a.dat"), std::string(5000, 'x'));
  EXPECT_EQ(SaveTwoLines(In("b.dat")), 0);
  EXPECT_EQ(GetFile(In("a.dat")), kNew);

  // Another owner's file (root saving a user's file) keeps its owner and inode.
  PutFile(In("theirs.dat"), "old\r\n");
  ASSERT_EQ(::chown(In("theirs.dat").c_str(), kUser, kUser), 0);
  const ino_t theirs = InodeOf(In("theirs.dat"));
  EXPECT_EQ(SaveTwoLines(In("theirs.dat")), 0);
  struct stat st {};
  ASSERT_EQ(::stat(In("theirs.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kUser);
  EXPECT_EQ(st.st_ino, theirs);
  EXPECT_EQ(GetFile(In("theirs.dat")), kNew);

  // A user's writable file in a folder they may not write to.
  ASSERT_EQ(::mkdir(In("locked").c_str(), 0555), 0);
  PutFile(In("locked/t.dat"), "old\r\n");
  ASSERT_EQ(::chown(In("locked/t.dat").c_str(), kUser, kUser), 0);
  ASSERT_EQ(RunAs(kUser, [&] { return SaveTwoLines(In("locked/t.dat")); }), 0);
  EXPECT_EQ(GetFile(In("locked/t.dat")), kNew);
  // ... but a new file there cannot be made, and says why.
  EXPECT_EQ(RunAs(kUser, [&] { return SaveTwoLines(In("locked/new.dat")); }), EACCES);

  // Another user's writable file in a sticky, world-writable folder (as /tmp) is
  // refused: written, it would hand the user's tickets to its owner.
  ASSERT_EQ(::mkdir(In("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(In("shared").c_str(), 01777), 0);
  PutFile(In("shared/t.dat"), "old\r\n");
  ASSERT_EQ(::chown(In("shared/t.dat").c_str(), kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::chmod(In("shared/t.dat").c_str(), 0666), 0);
  ASSERT_EQ(RunAs(kUser, [&] { return SaveTwoLines(In("shared/t.dat")); }), kRefusedOthersFile);
  EXPECT_EQ(GetFile(In("shared/t.dat")), "old\r\n");
  ASSERT_EQ(::stat(In("shared/t.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kOtherUser);
  EXPECT_EQ(ListFolder(In("shared")), std::vector<std::string>{"t.dat"});

  // New files: rw-rw-rw- less the umask.
  for (mode_t mask : {mode_t{002}, mode_t{022}, mode_t{077}}) {
    const mode_t old = ::umask(mask);
    ::unlink(In("fresh.dat").c_str());
    EXPECT_EQ(SaveTwoLines(In("fresh.dat")), 0);
    ::umask(old);
    ASSERT_EQ(::stat(In("fresh.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask) << mask;
  }

  // A link to nowhere is written through: the link stays, its target appears.
  ASSERT_EQ(::symlink("target.dat", In("dangling.dat").c_str()), 0);
  EXPECT_EQ(SaveTwoLines(In("dangling.dat")), 0);
  ASSERT_EQ(::lstat(In("dangling.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(GetFile(In("target.dat")), kNew);
}

// A link is followed only where the kernel would let open() follow it: in a sticky,
// world-writable folder only a link of the user or of the folder's owner. A link
// another user planted there is refused and the file it points at stays untouched.
TEST_F(SafeSave, LinksInSharedFoldersAreFollowedOnlyWhenOpenWouldFollowThem) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(In("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(In("shared").c_str(), 01777), 0);
  ASSERT_EQ(::mkdir(In("plain").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(In("plain").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(In("theirs").c_str(), 0777), 0);  // sticky, owned by the user
  ASSERT_EQ(::chmod(In("theirs").c_str(), 01777), 0);
  ASSERT_EQ(::chown(In("theirs").c_str(), kUser, kUser), 0);
  const struct {
    const char* link;
    uid_t linkOwner;
    bool followed;
  } cases[] = {
      {"shared/planted.dat", kOtherUser, false},  // the attack: another user's link in /tmp
      {"shared/own.dat", kUser, true},           {"shared/roots.dat", 0, true},  // the folder's owner (root)
      {"theirs/owner.dat", kUser, true},                                         // the folder's owner (the user)
      {"theirs/planted.dat", kOtherUser, false}, {"plain/other.dat", kOtherUser, true},  // no sticky bit: no protection
  };
  const std::string victim = In("victim.dat");
  for (const auto& c : cases) {
    PutFile(victim, "precious\r\n");
    ASSERT_EQ(::chown(victim.c_str(), kUser, kUser), 0);
    ASSERT_EQ(::symlink(victim.c_str(), In(c.link).c_str()), 0);
    ASSERT_EQ(::lchown(In(c.link).c_str(), c.linkOwner, c.linkOwner), 0);
    const int result = RunAs(kUser, [&] { return SaveTwoLines(In(c.link)); });
    EXPECT_EQ(result, c.followed ? 0 : ELOOP) << c.link;
    EXPECT_EQ(GetFile(victim), c.followed ? "new\r\ntext\r\n" : "precious\r\n") << c.link;
    struct stat st {};
    ASSERT_EQ(::lstat(In(c.link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << c.link << ": the link itself is never replaced";
  }
  // Root is held to the same rule.
  PutFile(victim, "precious\r\n");
  EXPECT_EQ(SaveTwoLines(In("shared/planted.dat")), ELOOP);
  EXPECT_EQ(GetFile(victim), "precious\r\n");
}

// Temporary files of a save that never finished go at the next save in their folder:
// only our own name pattern, only regular files of the user, only when a minute old.
TEST_F(SafeSave, StaleTemporaryFilesGoAtTheNextSaveInTheirFolder) {
  const struct {
    const char* name;
    int kind;  // 0 file, 1 folder, 2 link, 3 another user's file
    bool old;
    bool goes;
  } cases[] = {
      {".luckyscope-save-Ab12Cd", 0, true, true},   {".luckyscope-save-Zz99zz", 0, false, false},
      {".luckyscope-save-Ab12C", 0, true, false},   {".luckyscope-save-Ab12Cde", 0, true, false},
      {"x.luckyscope-save-Ab12Cd", 0, true, false}, {".luckyscope-save-dir123", 1, true, false},
      {".luckyscope-save-lnk123", 2, true, false},  {".luckyscope-save-oth123", 3, true, false},
  };
  for (const auto& c : cases) {
    const std::string path = In(c.name);
    if (c.kind == 1) {
      ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    } else if (c.kind == 2) {
      ASSERT_EQ(::symlink("t.dat", path.c_str()), 0);
    } else {
      PutFile(path, "half a save");
      if (c.kind == 3 && ::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kUser, kUser), 0);
      }
    }
    if (c.old) {
      const timespec times[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
  }
  AddTarget("a", "b", "c");
  ASSERT_EQ(core->WriteTargetFile(In("t.dat").c_str()), 0);
  for (const auto& c : cases) {
    if (c.kind == 3 && ::geteuid() != 0) continue;
    EXPECT_EQ(Exists(In(c.name)), !c.goes) << c.name;
  }
}

// A settings file that cannot be saved says why: a full disk with its own message,
// any other reason with the file and the reason.
TEST_F(SafeSave, SettingsSaveFailuresOtherThanAFullDiskNameTheirReason) {
  const struct {
    const char* what;
    int fault;    // a full disk at this step
    bool folder;  // luckyscope.dat is a folder
    bool gone;    // the base folder is gone
    int result;
    int reason;  // 0: the disk-full message
  } cases[] = {
      {"full disk", 2, false, false, 0, 0},
      {"a folder of that name", 0, true, false, -1, EISDIR},
      {"no base folder", 0, false, true, -1, ENOENT},
  };
  for (const auto& c : cases) {
    notifier.messages.clear();
    notifier.settingsFailures.clear();
    if (c.folder) {
      ASSERT_EQ(::mkdir(In("luckyscope.dat").c_str(), 0755), 0);
    }
    const std::string base = c.gone ? In("gone") : dir;
    ASSERT_EQ(core->InitBaseFolder(base.c_str()), 0);
    core->SetWriteFault(c.fault);
    EXPECT_EQ(core->SaveSettingsFile(), c.result) << c.what;
    core->SetWriteFault(0);
    if (c.reason == 0) {
      EXPECT_EQ(notifier.messages, std::vector<CoreMessage>{CoreMessage::SettingsDiskFull}) << c.what;
      EXPECT_TRUE(notifier.settingsFailures.empty()) << c.what;
    } else {
      EXPECT_TRUE(notifier.messages.empty()) << c.what;
      const std::vector<std::pair<std::string, int>> want{{base + "/luckyscope.dat", c.reason}};
      EXPECT_EQ(notifier.settingsFailures, want) << c.what;
    }
    if (c.folder) {
      ASSERT_EQ(::rmdir(In("luckyscope.dat").c_str()), 0);
    }
  }
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
  // Written in place (a second name keeps it from being replaced): the new size is
  // taken from the disk before a byte is overwritten, so the full disk costs nothing.
  ASSERT_EQ(::link(file.c_str(), (mnt + "/t2.dat").c_str()), 0);
  EXPECT_EQ(core->WriteTargetFile(file.c_str()), -2);
  EXPECT_EQ(core->SaveErrorNumber(), ENOSPC);
  EXPECT_EQ(GetFile(file), "\"old\",\"A\",\"1\"\r\n");
}

// The shared-folder rule itself, over the owners and modes lstat gives.
TEST(SharedFolderRule, LinksAndFilesAreUsedOnlyWhenTheUserOrTheFolderOwnerOwnsThem) {
  constexpr uid_t me = 1000, other = 1001, folderOwner = 0;
  // 01770: not world-writable, 00777: not sticky, 01775: world may not write.
  const std::tuple<mode_t, uid_t, bool> cases[] = {{01777, other, false},      {01777, me, true},
                                                   {01777, folderOwner, true}, {01770, other, true},
                                                   {00777, other, true},       {01775, other, true}};
  for (const auto& [folder, owner, used] : cases)
    EXPECT_EQ(MayUseInFolder(me, owner, S_IFDIR | folder, folderOwner), used) << std::oct << folder;
}

// A file written in place (here: one with a second name) has its old content copied to
// the state folder first; when the overwrite stops half-way the failure names the
// copy, and no more than kKeptCopies copies are kept.
TEST_F(SafeSave, FilesWrittenInPlaceLeaveACopyOfTheirOldContent) {
  const std::string file = In("a.dat");
  PutFile(file, "\"old\",\"A\",\"1\"\r\n");
  ASSERT_EQ(::link(file.c_str(), In("b.dat").c_str()), 0);
  for (int i = 0; i < 40; ++i) AddTarget("a long enough name", "A", "123456");
  core->SetWriteFault(40 + 2);  // the lines, the commit, then the overwrite
  EXPECT_EQ(core->WriteTargetFile(file.c_str()), -2);
  core->SetWriteFault(0);
  const std::string copy = KeptCopyOfFailedSave(file);
  ASSERT_EQ(copy.rfind(stateDir + "/luckyscope/copies/a.dat.", 0), 0u) << copy;
  EXPECT_EQ(GetFile(copy), "\"old\",\"A\",\"1\"\r\n");
  for (int i = 0; i < kKeptCopies + 5; ++i)
    ASSERT_TRUE(core->WriteTargetFile(file.c_str()) == 0 && KeptCopyOfFailedSave(file).empty());
  EXPECT_EQ(ListFolder(stateDir + "/luckyscope/copies").size(), static_cast<std::size_t>(kKeptCopies));
}

// Inputs that would hold the window or turn the settings against the user are refused
// at once, data files with their name.
TEST_F(SafeSave, HostileInputsAreRefusedWithoutReadingThem) {
  AddTarget("kept", "A", "1");
  AddEntry("T", {{"A", "1"}});
  // A file of zeros this large; -1 a FIFO.
  const std::pair<const char*, long long> cases[] = {
      {"huge.dat", kReadLimitBytes + 1}, {"huge.ban", 10LL << 30}, {"huge.csv", kReadLimitBytes + 1}, {"pipe.dat", -1}};
  for (const auto& [name, size] : cases) {
    notifier.tooLarge.clear();
    const std::string path = In(name);
    PutFile(path, "\"a\",\"b\",\"c\"\r\n");
    ASSERT_EQ(size < 0 ? ::unlink(path.c_str()) + ::mkfifo(path.c_str(), 0644) : ::truncate(path.c_str(), size), 0);
    EXPECT_EQ(core->OpenDataFile(path.c_str()), -1) << name;
    EXPECT_EQ(notifier.tooLarge, size < 0 ? std::vector<std::string>{} : std::vector<std::string>{path}) << name;
    EXPECT_EQ(core->Store().TargetCount() + core->Store().WinningCount(), 2) << name;
    ::unlink(path.c_str());
  }
  // Another user's settings file is neither read (its log file would be appended to)
  // nor written at the close.
  if (::geteuid() != 0) return;
  const std::string planted = "[SYSTDATA]\r\nstart.dat\r\n1\r\n/home/victim/.bashrc\r\n1\r\n";
  PutFile(In("luckyscope.dat"), planted);
  ASSERT_EQ(::chown(In("luckyscope.dat").c_str(), kOtherUser, kOtherUser), 0);
  SystemSettings s{};
  EXPECT_EQ(core->LoadSettingsFile(), kFileOfOtherUser);
  EXPECT_TRUE(core->GetSettings(s) == 0 && s.logFile[0] == '\0' && s.saveResults == 0);
  EXPECT_EQ(core->SaveSettingsFile(), 0);
  EXPECT_EQ(GetFile(In("luckyscope.dat")), planted);
}

}  // namespace
}  // namespace luckyscope::testing
