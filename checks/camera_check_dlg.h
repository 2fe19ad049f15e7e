#pragma once
// Camera check "カメラでチェック": the live picture of a camera and, beside it, the easy
// check's verdict. A postcard held still in front of the camera is read, judged
// against the winning numbers (every entry, group "*") and shown, sounded and logged
// as the easy check does. A "追加" toggle also appends each judged card to the search
// targets.
//
// Frames come from the camera's own thread; the newest goes to the preview and to
// one reader in a worker thread, which drops frames while it is busy, so the picture
// stays smooth. The camera, the reader and its libraries are opened only when the
// window opens; closing it frees the camera at once.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QDialog>
#include <QImage>

#include "camera/frame_source.h"
#include "checks/camera_watch.h"
#include "checks/easy_check.h"
#include "core/data_core.h"
#include "scan/card_reader.h"
#include "sound/sound_cue.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace luckyscope {

class ByteLineEdit;
class ScanReader;
class UiServices;

// A frame as the reader is given it: grey, and no larger than 1280 x 720. A card held up
// to be read fills most of the picture, so its digits are large enough at that size,
// and a full-HD frame would cost the reader twice the time for nothing.
QImage FrameForReading(const QImage& frame);

class TCameraCheckDlg : public QDialog {
  Q_OBJECT

 public:
  TCameraCheckDlg(DataCore& core, UiServices& ui, SoundCueState& cue, QWidget* parent = nullptr);
  ~TCameraCheckDlg() override;

  // Called after "追加" appended a ticket, so that the lists show it.
  void SetTargetsChanged(std::function<void()> changed) { targetsChanged_ = std::move(changed); }
  // The easy check's log counter, so that both checks number one log.
  void ShareLogCounter(int* counter) { logCounter_ = counter != nullptr ? counter : &ownCounter_; }

  // Test seams: the cameras offered and the frame source of a choice (GStreamer's by
  // default), and the log writer (AppendLogLine).
  using CameraLister = std::function<std::vector<CameraChoice>()>;
  using SourceMaker = std::function<std::unique_ptr<FrameSource>(const CameraChoice&)>;
  void SetCameras(CameraLister lister, SourceMaker maker);
  using LogWriter = std::function<int(const char* path, std::string_view line)>;
  void SetLogWriter(LogWriter writer) { logWriter_ = std::move(writer); }

  // Figures for the benchmark: frames shown, frames read, and when the first frame was
  // shown (seconds since the window opened; negative before).
  int FramesShown() const { return framesShown_; }
  int FramesRead() const { return framesRead_; }
  double FirstFrameSeconds() const { return firstFrame_; }

  // Handlers.
  void FormActivate();
  void CancelBtnClick();
  void CameraBoxChange();
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildControls();
  void OpenCamera(int index);
  void CloseCamera();
  void StopWorker();
  void ShowFault(CameraFault fault, const QString& detail);
  // On the camera's thread.
  void OnFrame(const QImage& frame, double seconds);
  void WorkerLoop();
  // On the user-interface thread.
  void ShowNewestFrame();
  void TakeReading(double seconds, const std::vector<std::string>& agreed, const QString& error);
  void Judge(const std::string& number);
  void AppendTicket(const std::string& number);

  DataCore& core_;
  UiServices& ui_;
  SoundCueState& cue_;
  SystemSettings settings_{};
  int ownCounter_ = 0;
  int* logCounter_ = &ownCounter_;
  char logPath_[kPathSize] = {};
  LogWriter logWriter_;
  std::function<void()> targetsChanged_;
  CameraLister listCameras_;
  SourceMaker makeSource_;
  std::vector<CameraChoice> cameras_;
  std::unique_ptr<FrameSource> source_;
  CardWatcher watcher_;
  std::chrono::steady_clock::time_point opened_;  // when the window last opened

  // Shared with the camera's thread and the worker.
  std::mutex mutex_;
  std::condition_variable wake_;
  QImage previewFrame_;
  bool previewQueued_ = false;
  QImage readFrame_;
  double readFrameAt_ = 0;
  bool stopWorker_ = false;
  std::atomic<bool> cancelRead_{false};
  std::thread worker_;
  std::unique_ptr<ScanReader> reader_;  // made by the worker on its first frame
  bool readerFailed_ = false;

  std::atomic<int> framesRead_{0};
  int framesShown_ = 0;
  double firstFrame_ = -1;

  QLabel* preview_ = nullptr;
  QLabel* status_ = nullptr;
  ByteLineEdit* result_ = nullptr;
  QComboBox* cameraBox_ = nullptr;
  QCheckBox* addBox_ = nullptr;
  QCheckBox* mirrorBox_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
};

}  // namespace luckyscope
