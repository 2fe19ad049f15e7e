// The camera check: a generated video of postcards played through GStreamer in place
// of a camera, from frames to verdicts, log lines and added tickets; and what the user
// is told when the camera cannot be had.

#include "checks/camera_check_dlg.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>

#include "camera/gst_frame_source.h"
#include "tests/camera/video_generator.h"
#include "tests/checks/check_test_support.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "ui/byte_line_edit.h"

namespace luckyscope {
namespace {

using namespace luckyscope::testing;

// A camera that fails to open.
class FailingSource : public FrameSource {
 public:
  explicit FailingSource(CameraFault fault) : fault_(fault) {}
  CameraFault Start(FrameHandler, FaultHandler, QString*) override { return fault_; }
  void Stop() override {}

 private:
  CameraFault fault_;
};

class CameraCheckTest : public ::testing::Test {
 protected:
  CameraCheckTest() {
    core_.InitBaseFolder(base_.c_str());
    dlg_.SetLogWriter([this](const char*, std::string_view line) {
      log_.emplace_back(line.substr(0, line.size() - 2));
      return kLogAppended;
    });
  }
  void Open() {
    SystemSettings s{};
    std::strncpy(s.logFile, "camera.log", kPathSize - 1);
    core_.SetSettings(s);
    ShowActive(dlg_);
    QApplication::processEvents();
  }
  QString Status() { return dlg_.findChild<QLabel*>("Status")->text(); }

  QApplication& app_ = TestApplication();
  QTemporaryDir dir_;
  std::string base_ = dir_.path().toStdString();
  DataCore core_;
  ScriptedUiServices ui_;
  SoundCueState cue_;
  TCameraCheckDlg dlg_{core_, ui_, cue_};
  std::vector<std::string> log_;
};

TEST_F(CameraCheckTest, TellsWhatToDoWhenTheCameraCannotBeHad) {
  struct Case {
    std::vector<CameraChoice> cameras;
    CameraFault fault;
    QString message;
  };
  const Case cases[] = {
      {{}, CameraFault::None, "カメラが見つかりません。カメラをつないでから、もう一度開いてください。"},
      {{{"cam", "v4l2src"}}, CameraFault::Busy,
       "カメラは別のプログラムが使っています。そのプログラムを終了してから、もう一度開いてください。"},
      {{{"cam", "v4l2src"}}, CameraFault::NoPermission,
       "カメラを使う権限がありません。ユーザーを video グループに加え（sudo usermod -aG video ユーザー名）、"
       "ログインし直してください。"},
      {{{"cam", "v4l2src"}}, CameraFault::NoCamera, "カメラが見つかりません。カメラをつないでから、もう一度開いてください。"},
  };
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", "123456"}}));
  for (const Case& c : cases) {
    dlg_.SetCameras([&] { return c.cameras; },
                    [&](const CameraChoice&) { return std::make_unique<FailingSource>(c.fault); });
    ui_.ExpectMessage(c.message, kMessageCaption);
    dlg_.hide();
    Open();
    EXPECT_EQ(ui_.PendingSteps(), 0u) << c.message.toStdString();
    EXPECT_TRUE(dlg_.isVisible()) << "the window stays, saying what to do";
    EXPECT_TRUE(Status().startsWith(c.message));
  }
  // Without winning numbers there is nothing to check against.
  core_.Store().SetWinningCount(0);
  ui_.ExpectMessage(QStringLiteral("当選番号データを入力してください。"));
  dlg_.hide();
  Open();
  EXPECT_FALSE(dlg_.isVisible());
}

// Two cards in a row bearing the same number, held a second each, with a pause between:
// each is judged once, logged, and added once to the search targets.
TEST_F(CameraCheckTest, CardsHeldUpAreJudgedOnceEach) {
  CameraVideoPlan plan;
  plan.fps = 10;
  plan.cards = 2;
  plan.hold = 1.6;
  plan.sameNumberTwice = true;
  plan.samePause = 2.0;
  plan.seed = 3;
  const CameraVideo video(plan);
  ASSERT_TRUE(video.WriteJpegFrames(dir_.path()));
  const std::string number = video.Cards().front().number;
  qputenv(kCameraSourceVariable, video.JpegSourceDescription(dir_.path()).toUtf8());
  dlg_.SetCameras([] { return ListCameras(); },
                  [](const CameraChoice& choice) { return MakeGstFrameSource(choice.source); });
  AppendEntry(core_.Store(), Entry(Cp("1等"), {{"*", number}}));
  dlg_.findChild<QCheckBox*>("AddBox")->setChecked(true);
  Open();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < (video.Duration() + 4) * 1000 && log_.size() < 2) QTest::qWait(50);
  qunsetenv(kCameraSourceVariable);
  EXPECT_EQ(ui_.Messages().size(), 0u) << ui_.Messages().front().text.toStdString();
  EXPECT_GT(dlg_.FramesShown(), 0);
  SCOPED_TRACE(::testing::Message() << dlg_.FramesRead() << " frames read, " << dlg_.FramesShown() << " shown");
  const std::string line = Cp("\",\"\",\"" + QString::fromStdString(number) + "\",\"1等\"");
  EXPECT_EQ(log_, (std::vector<std::string>{"\"No.00001" + line, "\"No.00002" + line}));
  EXPECT_EQ(dlg_.findChild<ByteLineEdit*>("Memo3")->text(), "* " + QString::fromStdString(number) + " 当たり！ 1等");
  ASSERT_EQ(core_.Store().TargetCount(), 1) << "the same card is not added twice";
  SearchTarget added{};
  core_.Store().GetTarget(0, 1, added);
  EXPECT_STREQ(added.number, number.c_str());
  dlg_.CancelBtnClick();
  EXPECT_FALSE(dlg_.isVisible());
}

}  // namespace
}  // namespace luckyscope
