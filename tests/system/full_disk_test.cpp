// A real full disk and a real read-only folder under every save the program makes:
// search targets, winning numbers and the settings file. The previous file survives
// byte for byte, no temporary file is left, the result codes are the data core's, the
// settings file has its disk message and every other failed save names its file.

#include <cerrno>
#include <memory>
#include <string>

#include <QString>
#include <gtest/gtest.h>

#include "app/core_notifier.h"
#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "tests/support/file_test_util.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "tests/support/test_application.h"
#include "tests/system/small_mount.h"

namespace luckyscope::testing {
namespace {

const QString kDiskFull = QStringLiteral("ディスク容量不足のため、システムデータが保存できません。");

class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    top_ = MakeTempFolder("luckyscope-disk");
    ASSERT_FALSE(top_.empty());
    disk_ = std::make_unique<SmallMount>(top_ + "/disk", "64k");
    if (!disk_->Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk_->Error();
    base_ = disk_->Path();
    ASSERT_EQ(core_.InitBaseFolder(base_.c_str()), 0);
    core_.ResetAll();
    for (int i = 0; i < 400; ++i) {
      AppendTarget(Store(), Target("a name long enough to need room " + std::to_string(i), "01", "123456"));
    }
    for (int j = 0; j < 32; ++j) {
      WinningEntry e = Entry("entry " + std::to_string(j), {});
      for (int k = 0; k < 32; ++k) {
        SetField(e.pairs[k].group, "*");
        SetField(e.pairs[k].number, std::to_string(100000 + k));
      }
      e.pairCount = 32;
      Store().PutWinningEntry(j + 1, e);
    }
    Store().SetWinningCount(32);
    Store().SetTargetsChanged(1);
    Store().SetWinningChanged(1);
  }
  void TearDown() override {
    disk_.reset();
    if (!top_.empty()) RemoveFolder(top_);
  }

  LotteryStore& Store() { return core_.Store(); }
  std::string In(const char* name) const { return base_ + "/" + name; }

  std::string top_, base_;
  std::unique_ptr<SmallMount> disk_;
  ScriptedUiServices ui_;
  UiCoreNotifier notifier_{ui_};
  DataCore core_{&notifier_};
};

TEST_F(FullDisk, EverySaveKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  const std::string oldTargets = "\"old\",\"01\",\"111111\"\r\n";
  const std::string oldWinning = "old,1\r\n01,111111\r\n";
  const std::string oldSettings = "[SYSTDATA]\r\nt.dat\r\n1\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n";
  PutFile(In("t.dat"), oldTargets);
  PutFile(In("w.ban"), oldWinning);
  PutFile(In("luckyscope.dat"), oldSettings);
  disk_->Fill("filler");
  const std::vector<std::string> before = ListFolder(base_);

  EXPECT_EQ(core_.WriteTargetFile(In("t.dat").c_str()), -2);
  EXPECT_EQ(core_.WriteWinningFile(In("w.ban").c_str()), -2);
  EXPECT_EQ(core_.WriteTargetFile(In("new.dat").c_str()), -2);  // a new name: no file appears
  SystemSettings s{};
  SetField(s.startupFile, In("t.dat"));
  SetField(s.hitSoundFile, std::string(400, 'h'));
  core_.SetSettings(s);
  ui_.ExpectMessage(kDiskFull, kMessageCaption);
  EXPECT_EQ(core_.SaveSettingsFile(), 0);  // reported by its message, not its result

  EXPECT_EQ(GetFile(In("t.dat")), oldTargets);
  EXPECT_EQ(GetFile(In("w.ban")), oldWinning);
  EXPECT_EQ(GetFile(In("luckyscope.dat")), oldSettings);
  EXPECT_EQ(ListFolder(base_), before);
  EXPECT_EQ(Store().TargetsChanged(), 1);
  EXPECT_EQ(Store().WinningChanged(), 1);
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0].text, kDiskFull);
  EXPECT_EQ(ui_.Messages()[0].caption, kMessageCaption);
  EXPECT_EQ(ui_.Messages()[0].icon, MessageIcon::Exclamation);
  ui_.ClearRecords();

  // The main window's save names the file and the full disk, and says it failed.
  TSDIAppForm form(core_, ui_);
  ui_.ExpectSaveDialog().Choose(In("t.dat"));
  ui_.ExpectMessage(QStringLiteral("ファイルを保存できませんでした。\n%1\nディスクの空き容量が足りません。")
                        .arg(QString::fromStdString(In("t.dat"))),
                    kMessageCaption);
  EXPECT_FALSE(form.SaveWithDialog(TSDIAppForm::TargetSavePreset()));
  EXPECT_EQ(GetFile(In("t.dat")), oldTargets);
  EXPECT_EQ(ui_.Messages().size(), 1u);
  ui_.ClearRecords();
  EXPECT_EQ(ListFolder(base_), before);

  // With room again, the same saves go through.
  ASSERT_EQ(::unlink(In("filler").c_str()), 0);
  EXPECT_EQ(core_.WriteTargetFile(In("t.dat").c_str()), 0);
  EXPECT_EQ(core_.WriteWinningFile(In("w.ban").c_str()), 0);
  EXPECT_EQ(core_.SaveSettingsFile(), 0);
  EXPECT_EQ(Store().TargetsChanged() + Store().WinningChanged(), 0);
  EXPECT_EQ(ListFolder(base_), (std::vector<std::string>{"luckyscope.dat", "t.dat", "w.ban"}));
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(FullDisk, AReadOnlyFolderRefusesEverySaveAndTheSettingsSayWhy) {
  PutFile(In("t.dat"), "\"old\",\"01\",\"111111\"\r\n");
  PutFile(In("luckyscope.dat"), "[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n");
  ASSERT_TRUE(disk_->ReadOnly(true));
  EXPECT_EQ(core_.WriteTargetFile(In("t.dat").c_str()), -1);
  EXPECT_EQ(core_.WriteWinningFile(In("w.ban").c_str()), -1);
  EXPECT_EQ(core_.SaveErrorNumber(), EROFS);
  ui_.ExpectMessage(QStringLiteral("ファイルを保存できませんでした。\n%1\n読み取り専用の場所には書き込めません。")
                        .arg(QString::fromStdString(In("luckyscope.dat"))),
                    kMessageCaption);
  EXPECT_EQ(core_.SaveSettingsFile(), -1);
  EXPECT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(GetFile(In("t.dat")), "\"old\",\"01\",\"111111\"\r\n");
  EXPECT_EQ(ListFolder(base_), (std::vector<std::string>{"luckyscope.dat", "t.dat"}));
  EXPECT_EQ(Store().TargetsChanged(), 1);
  ASSERT_TRUE(disk_->ReadOnly(false));
}

}  // namespace
}  // namespace luckyscope::testing
