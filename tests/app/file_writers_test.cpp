// Every file the program writes keeps to one rule: a link or a file another user planted
// in a shared folder (/tmp) is never written through, whichever writer meets it, and no
// name that is not a regular file makes a writer hang.

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDate>

#include "checks/easy_check.h"
#include "core/file_io.h"
#include "tests/support/file_test_util.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_application.h"
#include "ui/list_export.h"
#include "ui/list_print.h"
#include "ui/report_list.h"
#include "ui/user_state.h"

namespace luckyscope::testing {
namespace {

constexpr uid_t kOtherUser = 54322;
const std::string kOld = "victim's bytes\r\n";

class FileWriters : public CoreInFolder {
 protected:
  void SetUp() override {
    CoreInFolder::SetUp();
    list_.SetColumns({{QStringLiteral("名前"), 80}, {QStringLiteral("番号"), 60}});
    list_.AddRow(QStringLiteral("山田"), {QStringLiteral("123456")});
    AddTarget("yamada", "01", "123456");
    AddEntry("1等", {{"01", "123456"}});
  }

  // Writes `folder`/`name` with the writer named; true when it says it wrote.
  bool Write(const std::string& writer, const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    if (writer == "data file") return core->WriteTargetFile(path.c_str()) == 0;
    if (writer == "winning file") return core->WriteWinningFile(path.c_str()) == 0;
    if (writer == "settings file") {
      notifier.settingsFailures.clear();
      core->InitBaseFolder(folder.c_str());
      return core->SaveSettingsFile() == 0 && notifier.settingsFailures.empty();
    }
    if (writer == "csv export") return ExportListCsv(ui_, list_, path);
    if (writer == "pdf") return WriteListPdf(MakeListReport(*core, list_, QStringLiteral("全表示"), QDate(2027, 1, 20)), path) == 0;
    if (writer == "state.ini") {
      // The state file is <config>/luckyscope/state.ini: the folder is the "luckyscope" part.
      qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder.substr(0, folder.rfind('/'))));
      const bool ok = WriteUserState(QStringLiteral("test/key"), 7);
      qputenv("XDG_CONFIG_HOME", config_);
      return ok;
    }
    return AppendLogLine(path.c_str(), FormatLogLine(1, "01", "123456", "x")) == kLogAppended;
  }

  QApplication& app_ = TestApplication();
  QByteArray config_ = qgetenv("XDG_CONFIG_HOME");
  ScriptedUiServices ui_;
  ReportList list_;
};

// Each writer meets the same planted names in a sticky, world-writable folder named
// "luckyscope" (so that the state file's folder can be it too). The victim is
// victim/luckyscope/<name>, another user's, and must keep its bytes.
TEST_F(FileWriters, PlantedLinksAndFilesInSharedFoldersAreNeverWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant other users' links and files";
  const struct {
    const char* writer;
    const char* name;
  } writers[] = {
      {"data file", "t.dat"},  {"winning file", "w.ban"}, {"settings file", "luckyscope.dat"},
      {"csv export", "l.csv"}, {"pdf", "list.pdf"},       {"state.ini", "state.ini"},
      {"easy check log", "check.log"},
  };
  enum Plant { kEndLink, kDanglingLink, kFolderLink, kOthersFile, kFifo, kOwnLink };
  const struct {
    const char* what;
    Plant plant;
    bool written;
  } plants[] = {
      {"another user's link at the end", kEndLink, false},
      {"another user's link to nowhere", kDanglingLink, false},
      {"another user's link as a folder part", kFolderLink, false},
      {"another user's file", kOthersFile, false},
      {"a FIFO", kFifo, false},
      {"the user's own link (followed)", kOwnLink, true},
  };
  for (const auto& w : writers) {
    for (const auto& p : plants) {
      const std::string root = MakeTempFolder("luckyscope-plant");
      ASSERT_FALSE(root.empty());
      ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
      const std::string shared = root + "/luckyscope", victimFolder = root + "/victim/luckyscope";
      ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
      ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
      ASSERT_EQ(::mkdir((root + "/victim").c_str(), 0755), 0);
      ASSERT_EQ(::mkdir(victimFolder.c_str(), 0755), 0);
      ASSERT_EQ(::mkdir((root + "/nowhere").c_str(), 0755), 0);
      const std::string victim = victimFolder + "/" + w.name, planted = shared + "/" + w.name;
      PutFile(victim, kOld);
      ASSERT_EQ(::chown(victim.c_str(), kOtherUser, kOtherUser), 0);
      std::string folder = shared, link = planted, to = victim;
      if (p.plant == kDanglingLink) to = root + "/nowhere/" + w.name;
      if (p.plant == kFolderLink) link = shared + "/x", to = root + "/victim", folder = shared + "/x/luckyscope";
      if (p.plant == kOthersFile || p.plant == kFifo) link.clear();
      if (p.plant == kOthersFile) {
        PutFile(planted, kOld);
        ASSERT_EQ(::chown(planted.c_str(), kOtherUser, kOtherUser), 0);
      } else if (p.plant == kFifo) {
        ASSERT_EQ(::mkfifo(planted.c_str(), 0666), 0);
      }
      if (!link.empty()) {
        ASSERT_EQ(::symlink(to.c_str(), link.c_str()), 0);
        const uid_t owner = p.plant == kOwnLink ? ::geteuid() : kOtherUser;
        ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
      }
      const std::string where = std::string(w.writer) + ", " + p.what;
      if (!p.written && std::string(w.writer) == "csv export") ui_.AnswerOk();  // the save-failure message
      EXPECT_EQ(Write(w.writer, folder, w.name), p.written) << where;
      EXPECT_EQ(GetFile(victim) == kOld, !p.written) << where;
      EXPECT_FALSE(Exists(root + "/nowhere/" + w.name)) << where;
      struct stat st {};
      if (p.plant == kOthersFile) {
        EXPECT_EQ(GetFile(planted), kOld) << where;
      } else if (p.plant == kFifo) {
        EXPECT_TRUE(::lstat(planted.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << where;
      }
      ASSERT_TRUE(RemoveFolder(root));
    }
  }
}

}  // namespace
}  // namespace luckyscope::testing
