// Every writer of the program keeps to one rule: a link or file another user planted in a
// shared folder (/tmp) is never written through, and no FIFO makes a writer hang.

#include <QDate>

#include "checks/easy_check.h"
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
    list_.SetColumns({{QStringLiteral("名前"), 80}});
    list_.AddRow(QStringLiteral("山田"));
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
      return core->InitBaseFolder(folder.c_str()) == 0 && core->SaveSettingsFile() == 0 &&
             notifier.settingsFailures.empty();
    }
    if (writer == "csv export") return ExportListCsv(ui_, list_, path);
    if (writer == "pdf")
      return WriteListPdf(MakeListReport(*core, list_, QStringLiteral("全表示"), QDate(2027, 1, 20)), path) == 0;
    if (writer == "state.ini") {  // <config>/luckyscope/state.ini: the folder is the "luckyscope" part
      qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(folder.substr(0, folder.rfind('/'))));
      const bool ok = WriteUserState(QStringLiteral("test/key"), 7);
      return qputenv("XDG_CONFIG_HOME", config_) && ok;
    }
    return AppendLogLine(path.c_str(), FormatLogLine(1, "01", "123456", "x")) == kLogAppended;
  }

  QApplication& app_ = TestApplication();
  QByteArray config_ = qgetenv("XDG_CONFIG_HOME");
  ScriptedUiServices ui_;
  ReportList list_;
};

// Each writer meets the same planted names in a sticky, world-writable folder named
// "luckyscope" (the state file's folder can be it too); the victim, another user's
// victim/luckyscope/<name>, keeps its bytes unless the user's own link leads there.
TEST_F(FileWriters, PlantedLinksAndFilesInSharedFoldersAreNeverWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant other users' links and files";
  const std::pair<const char*, const char*> writers[] = {
      {"data file", "t.dat"}, {"winning file", "w.ban"},  {"settings file", "luckyscope.dat"}, {"csv export", "l.csv"},
      {"pdf", "list.pdf"},    {"state.ini", "state.ini"}, {"easy check log", "check.log"}};
  enum Plant { kEndLink, kDanglingLink, kFolderLink, kOthersFile, kFifo, kOwnLink };
  // Planted by another user, but for the last: the user's own link, which is followed.
  const char* const plants[] = {"link at the end", "dangling link", "link as folder part",
                                "their file",      "FIFO",          "own link"};
  for (const auto& [writer, name] : writers) {
    for (const Plant plant : {kEndLink, kDanglingLink, kFolderLink, kOthersFile, kFifo, kOwnLink}) {
      const std::string root = MakeTempFolder("luckyscope-plant"), shared = root + "/luckyscope";
      for (const char* folder : {"/luckyscope", "/victim", "/victim/luckyscope", "/nowhere"})
        ASSERT_EQ(::mkdir((root + folder).c_str(), 0755), 0);
      ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
      const std::string victim = root + "/victim/luckyscope/" + name, planted = shared + "/" + name;
      PutFile(victim, kOld);
      ASSERT_EQ(::chown(victim.c_str(), kOtherUser, kOtherUser), 0);
      std::string folder = shared, link = planted, to = victim;
      if (plant == kDanglingLink) to = root + "/nowhere/" + name;
      if (plant == kFolderLink) link = shared + "/x", to = root + "/victim", folder = shared + "/x/luckyscope";
      if (plant == kOthersFile) PutFile(planted, kOld), ::chown(planted.c_str(), kOtherUser, kOtherUser);
      ASSERT_TRUE(plant != kFifo || ::mkfifo(planted.c_str(), 0666) == 0);
      const uid_t owner = plant == kOwnLink ? ::geteuid() : kOtherUser;
      ASSERT_TRUE(plant == kOthersFile || plant == kFifo ||
                  (::symlink(to.c_str(), link.c_str()) == 0 && ::lchown(link.c_str(), owner, owner) == 0));
      const std::string where = std::string(writer) + ", " + plants[plant];
      if (plant != kOwnLink && std::string(writer) == "csv export") ui_.AnswerOk();  // the save-failure message
      EXPECT_EQ(Write(writer, folder, name), plant == kOwnLink) << where;
      EXPECT_EQ(GetFile(victim) == kOld, plant != kOwnLink) << where;
      EXPECT_FALSE(Exists(root + "/nowhere/" + name)) << where;
      EXPECT_TRUE(plant != kOthersFile || GetFile(planted) == kOld) << where;
      struct stat st {};
      EXPECT_TRUE(plant != kFifo || (::lstat(planted.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))) << where;
      ASSERT_TRUE(RemoveFolder(root));
    }
  }
}

}  // namespace
}  // namespace luckyscope::testing
