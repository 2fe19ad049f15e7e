// The settings dialog: what Enter does where, the browse buttons, and that only OK
// hands the record back.

#include "dialogs/sys_edit_dlg.h"

#include <QCheckBox>
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "tests/support/scripted_ui_services.h"

namespace luckyscope {
namespace {

using namespace testing;

class SysEditDlgTest : public ::testing::Test {
 protected:
  SysEditDlgTest() {
    SystemSettings s{};
    SetField(s.startupFile, "/home/user/くじ/2024.ban");
    s.saveResults = 1;
    SetField(s.logFile, "check.log");
    SetField(s.hitSoundFile, "/usr/share/sounds/hit.wav");
    SetField(s.missSoundFile, "miss.mp3");
    s.enterGroup = 1;
    core_->SetSettings(s);
  }
  SystemSettings Settings() {
    SystemSettings s{};
    core_->GetSettings(s);
    return s;
  }
  QCheckBox* Check(const char* name) { return Control<QCheckBox>(dlg_, name); }

  QApplication& app_ = TestApplication();  // before any widget
  std::unique_ptr<DataCore> core_ = NewCore();
  ScriptedUiServices ui_;
  TSysEditDlg dlg_{*core_, ui_};
};

TEST_F(SysEditDlgTest, ShowsTheRecordAndEnterOnOpeningPressesCancel) {
  ShowActive(dlg_);
  EXPECT_EQ(Shown(dlg_, "Edit1"), QStringLiteral("/home/user/くじ/2024.ban"));
  EXPECT_EQ(Shown(dlg_, "Edit4"), "miss.mp3");
  EXPECT_TRUE(Check("CheckBox1")->isChecked());
  EXPECT_FALSE(Check("CheckBox2")->isChecked());
  EXPECT_TRUE(Check("CheckBox3")->isChecked());
  EXPECT_EQ(Box(dlg_, "Edit1")->Encoding(), TextBytes::FileName);
  Box(dlg_, "Edit2")->setText("other.log");
  PressKey(Qt::Key_Return);
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  EXPECT_STREQ(Settings().logFile, "check.log");
}

TEST_F(SysEditDlgTest, EnterInAnyBoxOrOnACheckBoxStoresWhatTheDialogShows) {
  for (const char* from : {"Edit1", "Edit2", "Edit3", "Edit4", "CheckBox4"}) {
    ShowActive(dlg_);
    Retype(dlg_, "Edit1", QStringLiteral("始動.dat"));  // stored as typed, dat or not
    Retype(dlg_, "Edit3", "");
    Check("CheckBox2")->setChecked(true);
    Check("CheckBox3")->setChecked(false);
    dlg_.findChild<QWidget*>(from)->setFocus();
    PressKey(Qt::Key_Enter);
    EXPECT_EQ(dlg_.result(), QDialog::Accepted) << from;
    const SystemSettings s = Settings();
    EXPECT_EQ(QString::fromUtf8(s.startupFile), QStringLiteral("始動.dat")) << from;
    EXPECT_STREQ(s.hitSoundFile, "") << from;
    EXPECT_STREQ(s.missSoundFile, "miss.mp3") << from;
    EXPECT_EQ(s.saveResults, 1) << from;
    EXPECT_EQ(s.autoRunSixDigits, 1) << from;
    EXPECT_EQ(s.enterGroup, 0) << from;
  }
}

TEST_F(SysEditDlgTest, BrowseButtons) {
  ShowActive(dlg_);
  for (const char* button : {"Button1", "Button2", "Button3"}) {
    ui_.ExpectOpenDialog().Cancel();
    Click(dlg_, button);
  }
  ui_.ExpectOpenDialog().Cancel();
  Control<QPushButton>(dlg_, "Button4")->setFocus();
  PressKey(Qt::Key_Return);  // Enter on a focused browse button browses
  EXPECT_TRUE(dlg_.isVisible());
  const auto& seen = ui_.FileDialogs();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].defaultExtension, "ban");
  EXPECT_EQ(seen[0].filter, QStringLiteral("当選番号ファイル(*.ban)|*.ban"));
  EXPECT_EQ(seen[1].defaultExtension, "dat");
  EXPECT_EQ(seen[1].filter, QStringLiteral("検索対象ファイル(*.dat)|*.dat"));
  for (int k : {2, 3}) {
    EXPECT_EQ(seen[k].defaultExtension, "wav");
    EXPECT_EQ(seen[k].filter, QStringLiteral("WAVファイル(*.wav)|*.wav|MP3ファイル(*mp3)|*.mp3|"
                                             "WMAファイル(*wma)|*.wma|その他ファイル(*.*)|*.*"));
  }
  EXPECT_EQ(Shown(dlg_, "Edit1"), QStringLiteral("/home/user/くじ/2024.ban"));

  // Picked, then cancelled: the record is as it was, and so is the next showing.
  ui_.ExpectOpenDialog().Choose("/tmp/sounds/ファンファーレ.wav");
  Click(dlg_, "Button3");
  EXPECT_EQ(Shown(dlg_, "Edit3"), QStringLiteral("/tmp/sounds/ファンファーレ.wav"));
  Click(dlg_, "CancelBtn");
  EXPECT_STREQ(Settings().hitSoundFile, "/usr/share/sounds/hit.wav");
  ShowActive(dlg_);
  EXPECT_EQ(Shown(dlg_, "Edit3"), "/usr/share/sounds/hit.wav");

  // A path the record cannot hold is refused rather than cut; 511 bytes fit.
  ui_.ExpectOpenDialog().Choose("/" + std::string(511, 'a'));
  ui_.ExpectMessage(QStringLiteral("選択されたファイルは使用できません。"), QStringLiteral("ヒットメモ"));
  Click(dlg_, "Button1");
  EXPECT_EQ(Shown(dlg_, "Edit1"), QStringLiteral("/home/user/くじ/2024.ban"));
  ui_.ExpectOpenDialog().Choose("/" + std::string(510, 'a'));
  Click(dlg_, "Button1");
  ui_.ExpectOpenDialog().Choose("/tmp/sounds/ファンファーレ.wav");
  Click(dlg_, "Button3");
  Click(dlg_, "OKBtn");
  EXPECT_EQ(std::string(Settings().startupFile), "/" + std::string(510, 'a'));
  EXPECT_STREQ(Settings().hitSoundFile, "/tmp/sounds/ファンファーレ.wav");
}

}  // namespace
}  // namespace luckyscope
