// The program in a hostile folder: a base folder it may not write, a start-up file it
// cannot read, a log file in a missing folder or on a full disk, sound files that are
// folders or pipes. Each time it goes on, says only what it is meant to say, and
// neither crashes nor hangs. The data core and the real windows run offscreen, started
// the way main() starts them.

#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QComboBox>
#include <QString>
#include <gtest/gtest.h>

#include "app/core_notifier.h"
#include "app/program_windows.h"
#include "app/startup.h"
#include "checks/esy_check_dlg.h"
#include "core/data_core.h"
#include "core/text_util.h"
#include "tests/support/file_test_util.h"
#include "tests/support/list_gestures.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "tests/support/test_application.h"
#include "tests/system/small_mount.h"
#include "ui/byte_line_edit.h"
#include "ui/cp932_codec.h"
#include "ui/report_list.h"

namespace luckyscope::testing {
namespace {

const QString kBadSettings = QStringLiteral("システムデータファイルが異常です。");
const QString kStartUpUnread = QStringLiteral("起動時に読み込むファイルを読み込めませんでした。\n%1");
const QString kLogFailed = QStringLiteral("ログファイルの書き込みに失敗しました。");
const std::string kDefaults = "[SYSTDATA]\r\n\r\n0\r\n\r\n0\r\n[SYSTDATA2]\r\n0\r\n0\r\n";

std::string Settings(const std::string& startup, const std::string& log, const std::string& hit = "",
                     const std::string& miss = "") {
  return "[SYSTDATA]\r\n" + startup + "\r\n0\r\n" + log + "\r\n0\r\n[SNDFILE]\r\n" + hit + "\r\n" + miss +
         "\r\n[SYSTDATA2]\r\n0\r\n0\r\n";
}

class HostileFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    top_ = MakeTempFolder("luckyscope-env");
    ASSERT_FALSE(top_.empty());
    base_ = top_;
  }
  void TearDown() override {
    esy_ = nullptr;
    form_ = nullptr;
    windows_.reset();
    mount_.reset();
    RemoveFolder(top_);
  }

  // Builds the windows and starts the data core in `base`, as main() does.
  void Start(const std::string& base) {
    base_ = base;
    windows_ = std::make_unique<ProgramWindows>(core_, ui_);
    form_ = &windows_->form;
    esy_ = &windows_->EsyCheck();
    StartDataCore(core_, ui_, base_.c_str());
  }

  // Starts in the temporary folder with a settings file of defaults: no message.
  void StartWithDefaults() {
    PutFile(top_ + "/luckyscope.dat", kDefaults);
    Start(top_);
  }

  std::string In(const std::string& name) const { return base_ + "/" + name; }
  LotteryStore& Store() { return core_.Store(); }
  QStringList Texts() const {
    QStringList out;
    for (const RecordedMessage& m : ui_.Messages()) out << m.text;
    return out;
  }
  int SoundOpens() {
    int n = 0;
    for (const auto& call : ui_.Recorder().Calls()) {
      n += call.kind == RecordingSoundBackend::Call::OpenByType ||
           call.kind == RecordingSoundBackend::Call::OpenByFileName;
    }
    return n;
  }

  // One full easy check of the typed number: the verdict it showed.
  QString EasyCheck(const char* number) {
    esy_->FormActivate();
    esy_->findChild<ByteLineEdit*>("Memo2")->setText(QString::fromLatin1(number));
    esy_->OKBtnClick();
    return esy_->findChild<ByteLineEdit*>("Memo3")->text();
  }
  void AddSample() {
    Store().PutTarget(1, Target("t", "01", "123456"));
    Store().SetTargetCount(1);
    Store().PutWinningEntry(1, Entry("1", {{"*", "123456"}}));
    Store().SetWinningCount(1);
  }

  ApplicationFirst application_;
  std::string top_, base_;
  std::unique_ptr<SmallMount> mount_;
  ScriptedUiServices ui_;
  UiCoreNotifier notifier_{ui_};
  DataCore core_{&notifier_};
  std::unique_ptr<ProgramWindows> windows_;
  TSDIAppForm* form_ = nullptr;
  TEsyCheckDlg* esy_ = nullptr;
};

TEST_F(HostileFolder, AReadOnlyBaseFolderRunsButKeepsEverythingAsItWas) {
  mount_ = std::make_unique<SmallMount>(top_ + "/ro", "1m");
  if (!mount_->Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount_->Error();
  const std::string base = mount_->Path();
  PutFile(base + "/t.dat", "\"a\",\"01\",\"123456\"\r\n");
  PutFile(base + "/w.ban", "1,1\r\n*,123456\r\n");
  const std::string settings = Settings("t.dat", "check.log");
  PutFile(base + "/luckyscope.dat", settings);
  ASSERT_TRUE(mount_->ReadOnly(true));

  Start(base);
  EXPECT_EQ(Store().TargetCount(), 1);  // the start-up file still loads
  ui_.ExpectOpenDialog().Choose(In("w.ban"));
  form_->Action(QStringLiteral("FileOpen1"))->trigger();
  EXPECT_EQ(Store().WinningCount(), 1);
  // The easy check judges and counts, but its log cannot be made: no message.
  EXPECT_EQ(EasyCheck("123456"), QStringLiteral("* 123456 当たり！ 1"));
  EXPECT_EQ(esy_->LogCounter(), 1);
  // A save into the folder writes nothing and says why.
  const auto failed = [&](const std::string& path) {
    return QStringLiteral("ファイルを保存できませんでした。\n%1\n読み取り専用の場所には書き込めません。")
        .arg(QString::fromStdString(path));
  };
  ui_.ExpectSaveDialog().Choose(In("new.dat"));
  ui_.ExpectMessage(failed(In("new.dat")), kMessageCaption);
  EXPECT_FALSE(form_->SaveWithDialog(TSDIAppForm::TargetSavePreset()));
  // Unsaved data at the close: the question, a save that fails and keeps the window
  // open; closed again without saving, the settings file that cannot be replaced.
  Store().SetTargetsChanged(1);
  const QString question = QStringLiteral("データが更新されています。セーブしますか？");
  ui_.ExpectMessage(question).Answer(kAnswerYes);
  ui_.ExpectSaveDialog().Choose(In("t.dat"));
  ui_.ExpectMessage(failed(In("t.dat")), kMessageCaption);
  EXPECT_FALSE(form_->FormClose());
  EXPECT_EQ(Store().TargetsChanged(), 1);
  ui_.ExpectMessage(question).Answer(kAnswerNo);
  ui_.ExpectMessage(failed(In("luckyscope.dat")), kMessageCaption);
  form_->close();
  EXPECT_EQ(Texts(), (QStringList{failed(In("new.dat")), question, failed(In("t.dat")), question,
                                  failed(In("luckyscope.dat"))}));
  EXPECT_EQ(GetFile(base + "/luckyscope.dat"), settings);
  EXPECT_EQ(GetFile(base + "/t.dat"), "\"a\",\"01\",\"123456\"\r\n");
  EXPECT_EQ(ListFolder(base), (std::vector<std::string>{"luckyscope.dat", "t.dat", "w.ban"}));
  EXPECT_EQ(ui_.UnexpectedCount(), 0);
  ASSERT_TRUE(mount_->ReadOnly(false));
}

TEST_F(HostileFolder, AnEmptyReadOnlyBaseFolderShowsOnlyTheSettingsMessages) {
  mount_ = std::make_unique<SmallMount>(top_ + "/ro", "64k");
  if (!mount_->Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount_->Error();
  ASSERT_TRUE(mount_->ReadOnly(true));
  ui_.ExpectMessage(kBadSettings, kMessageCaption);
  Start(mount_->Path());
  // The settings cannot be written at the close either: that is said, with the reason.
  const QString unsaved = QStringLiteral("ファイルを保存できませんでした。\n%1\n読み取り専用の場所には書き込めません。")
                              .arg(QString::fromStdString(mount_->Path() + "/luckyscope.dat"));
  ui_.ExpectMessage(unsaved, kMessageCaption);
  form_->close();
  EXPECT_EQ(Texts(), (QStringList{kBadSettings, unsaved}));
  EXPECT_TRUE(ListFolder(mount_->Path()).empty());
  ASSERT_TRUE(mount_->ReadOnly(false));
}

TEST_F(HostileFolder, AStartUpFileThatCannotBeReadLeavesTheTablesEmpty) {
  // A folder, a pipe with no writer and a name under a plain file: none opens, none
  // hangs, and each is named once.
  ASSERT_EQ(::mkdir(In("folder.dat").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(In("pipe.ban").c_str(), 0644), 0);
  PutFile(In("plain"), "x");
  for (const std::string& name : std::vector<std::string>{"folder.dat", "pipe.ban", "plain/t.dat", In("missing.dat")}) {
    PutFile(In("luckyscope.dat"), Settings(name, ""));
    core_.ResetAll();
    ui_.ClearRecords();
    // A name with a folder part is taken as it is; a bare name is in the base folder.
    const std::string full = name.find('/') != std::string::npos ? name : In(name);
    ui_.ExpectMessage(kStartUpUnread.arg(QString::fromStdString(full)), kMessageCaption);
    StartDataCore(core_, ui_, base_.c_str());
    EXPECT_EQ(Store().TargetCount() + Store().WinningCount(), 0) << name;
    EXPECT_EQ(Texts(), QStringList{kStartUpUnread.arg(QString::fromStdString(full))}) << name;
  }
  // A csv name has no kind when its first line cannot be read: named the same way.
  ASSERT_EQ(::mkdir(In("folder.csv").c_str(), 0755), 0);
  PutFile(In("luckyscope.dat"), Settings("folder.csv", ""));
  ui_.ClearRecords();
  ui_.ExpectMessage(kStartUpUnread.arg(QString::fromStdString(In("folder.csv"))), kMessageCaption);
  Start(base_);
  EXPECT_EQ(Texts(), QStringList{kStartUpUnread.arg(QString::fromStdString(In("folder.csv")))});

  EXPECT_EQ(ui_.UnexpectedCount(), 0);
}

TEST_F(HostileFolder, ALogThatCannotBeOpenedIsSkippedSilently) {
  ASSERT_EQ(::mkdir(In("logdir").c_str(), 0755), 0);
  StartWithDefaults();
  AddSample();
  int expected = 0;
  for (const std::string& log : std::vector<std::string>{"missing/sub/check.log", "logdir", In("gone/check.log")}) {
    SystemSettings s{};
    SetField(s.logFile, log);
    core_.SetSettings(s);
    EXPECT_EQ(EasyCheck("123456"), QStringLiteral("* 123456 当たり！ 1")) << log;
    EXPECT_EQ(EasyCheck("000000"), QStringLiteral("* 000000 はずれ！")) << log;
    expected += 2;
    EXPECT_EQ(esy_->LogCounter(), expected) << log;
  }
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_FALSE(Exists(In("missing")));
  EXPECT_FALSE(Exists(In("gone")));
}

TEST_F(HostileFolder, ALogOnAFullDiskIsReportedAndTheCheckGoesOn) {
  mount_ = std::make_unique<SmallMount>(top_ + "/full", "64k");
  if (!mount_->Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount_->Error();
  StartWithDefaults();
  AddSample();
  mount_->Fill("filler");
  SystemSettings s{};
  SetField(s.logFile, mount_->Path() + "/check.log");
  core_.SetSettings(s);
  ui_.ExpectMessage(kLogFailed, kMessageCaption);
  EXPECT_EQ(EasyCheck("123456"), QStringLiteral("* 123456 当たり！ 1"));
  EXPECT_EQ(Texts(), QStringList{kLogFailed});
  EXPECT_EQ(esy_->LogCounter(), 1);
  EXPECT_EQ(ui_.UnexpectedCount(), 0);
}

TEST_F(HostileFolder, SoundFilesThatAreFoldersOrPipesStaySilent) {
  ASSERT_EQ(::mkdir(In("hit.wav").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(In("miss.wav").c_str(), 0644), 0);
  StartWithDefaults();
  AddSample();
  SystemSettings s{};
  SetField(s.hitSoundFile, In("hit.wav"));
  SetField(s.missSoundFile, In("miss.wav"));
  core_.SetSettings(s);
  form_->FillWinningList(0);
  // The search with a filter tells its result by sound: a hit, then a miss.
  form_->ComboBox1()->setCurrentIndex(1);
  PickFilter(*form_, 1);
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_EQ(form_->ListView2()->RowCount(), 1);
  Store().PutTarget(1, Target("t", "01", "999999"));
  form_->Action(QStringLiteral("ExecSch1"))->trigger();
  EXPECT_EQ(form_->ListView2()->RowCount(), 0);
  // The easy check's cues too.
  EXPECT_EQ(EasyCheck("123456"), QStringLiteral("* 123456 当たり！ 1"));
  EXPECT_EQ(EasyCheck("000000"), QStringLiteral("* 000000 はずれ！"));
  EXPECT_EQ(SoundOpens(), 0);
  EXPECT_EQ(form_->SoundCue().state, kSoundCueIdle);
  EXPECT_TRUE(ui_.Messages().empty());
}

}  // namespace
}  // namespace luckyscope::testing
