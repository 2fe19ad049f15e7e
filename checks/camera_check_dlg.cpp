#include "checks/camera_check_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "camera/gst_frame_source.h"
#include "checks/verdict_view.h"
#include "core/text_util.h"
#include "core/ticket_intake.h"
#include "scan/scan_loader.h"
#include "ui/byte_line_edit.h"
#include "ui/cp932_codec.h"
#include "ui/dialog_support.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPreviewWidth = 640;
constexpr int kPreviewHeight = 360;

// The reader works at 300 dpi: a frame is given as it is, and a card filling the
// picture is found by its outline and straightened.
constexpr double kFrameDpi = 300;
constexpr int kReadWidth = 1280;
constexpr int kReadHeight = 720;

const QString kWaiting = QStringLiteral("はがきの番号の面をカメラに向け、静かに持ってください。");

QString FaultText(CameraFault fault) {
  switch (fault) {
    case CameraFault::NoCamera:
      return QStringLiteral("カメラが見つかりません。カメラをつないでから、もう一度開いてください。");
    case CameraFault::Busy:
      return QStringLiteral("カメラは別のプログラムが使っています。そのプログラムを終了してから、もう一度開いてください。");
    case CameraFault::NoPermission:
      return QStringLiteral(
          "カメラを使う権限がありません。ユーザーを video グループに加え（sudo usermod -aG video ユーザー名）、"
          "ログインし直してください。");
    case CameraFault::Failed:
    case CameraFault::None:
      break;
  }
  return QStringLiteral("カメラを開けませんでした。");
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

QImage FrameForReading(const QImage& frame) {
  QImage grey = frame.convertToFormat(QImage::Format_Grayscale8);
  if (grey.width() > kReadWidth || grey.height() > kReadHeight) {
    grey = grey.scaled(kReadWidth, kReadHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  return grey;
}

TCameraCheckDlg::TCameraCheckDlg(DataCore& core, UiServices& ui, SoundCueState& cue, QWidget* parent)
    : QDialog(parent), core_(core), ui_(ui), cue_(cue), logWriter_(AppendLogLine) {
  listCameras_ = [] { return ListCameras(); };
  makeSource_ = [](const CameraChoice& choice) { return MakeGstFrameSource(choice.source); };
  BuildControls();
}

TCameraCheckDlg::~TCameraCheckDlg() { CloseCamera(); }

void TCameraCheckDlg::SetCameras(CameraLister lister, SourceMaker maker) {
  listCameras_ = std::move(lister);
  makeSource_ = std::move(maker);
}

void TCameraCheckDlg::BuildControls() {
  setObjectName(QStringLiteral("TCameraCheckDlg"));
  setWindowTitle(QStringLiteral("カメラでチェック"));
  setFont(UiFont(12));

  preview_ = new QLabel(this);
  preview_->setObjectName(QStringLiteral("Preview"));
  preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setStyleSheet(QStringLiteral("background: black; color: white;"));
  preview_->setAccessibleName(QStringLiteral("カメラの映像"));

  cameraBox_ = new QComboBox(this);
  cameraBox_->setObjectName(QStringLiteral("CameraBox"));
  cameraBox_->setAccessibleName(QStringLiteral("カメラ"));
  result_ = MakeDialogBox("Memo3", 0, false, this);
  result_->setReadOnly(true);
  result_->setFont(UiFont(18));
  result_->setMinimumWidth(320);
  status_ = new QLabel(kWaiting, this);
  status_->setObjectName(QStringLiteral("Status"));
  status_->setWordWrap(true);
  status_->setMinimumHeight(64);
  status_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  addBox_ = new QCheckBox(QStringLiteral("追加"), this);
  addBox_->setObjectName(QStringLiteral("AddBox"));
  addBox_->setToolTip(QStringLiteral("判定したはがきを検索対象に追加します"));
  mirrorBox_ = new QCheckBox(QStringLiteral("左右反転"), this);
  mirrorBox_->setObjectName(QStringLiteral("MirrorBox"));
  mirrorBox_->setToolTip(QStringLiteral("映像を鏡のように表示します（読み取りには影響しません）"));
  cancelBtn_ = MakeDialogButton(QStringLiteral("終了"), "CancelBtn", this);

  auto* side = new QVBoxLayout;
  side->addWidget(MakeDialogLabel(QStringLiteral("カメラ"), "Label1", cameraBox_, this));
  side->addWidget(cameraBox_);
  side->addWidget(MakeDialogLabel(QStringLiteral("結果"), "Label3", result_, this));
  side->addWidget(result_);
  side->addWidget(status_);
  side->addWidget(addBox_);
  side->addWidget(mirrorBox_);
  side->addStretch(1);
  side->addWidget(cancelBtn_, 0, Qt::AlignRight);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(preview_);
  layout->addLayout(side, 1);

  connect(cancelBtn_, &QPushButton::clicked, this, &TCameraCheckDlg::CancelBtnClick);
  connect(cameraBox_, &QComboBox::activated, this, &TCameraCheckDlg::CameraBoxChange);
}

void TCameraCheckDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) QMetaObject::invokeMethod(this, &TCameraCheckDlg::FormActivate, Qt::QueuedConnection);
}

void TCameraCheckDlg::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) CloseCamera();
  QDialog::hideEvent(event);
}

void TCameraCheckDlg::FormActivate() {
  opened_ = Clock::now();
  framesShown_ = 0;
  framesRead_ = 0;
  firstFrame_ = -1;
  core_.GetSettings(settings_);
  ResolveLogFile(core_, settings_, logPath_, *logCounter_);
  result_->SetText(QString());
  PaintVerdict(*result_, VerdictKind::Miss);
  preview_->clear();
  if (core_.Store().WinningCount() <= 0) {
    ui_.MessageBox(QStringLiteral("当選番号データを入力してください。"), kMessageCaption, kExclamationOk);
    reject();
    return;
  }
  cameras_ = listCameras_();
  cameraBox_->clear();
  for (const CameraChoice& camera : cameras_) cameraBox_->addItem(camera.label);
  cameraBox_->setEnabled(cameras_.size() > 1);
  if (cameras_.empty()) {
    ShowFault(CameraFault::NoCamera, QString());
    return;
  }
  OpenCamera(0);
}

void TCameraCheckDlg::CameraBoxChange() { OpenCamera(cameraBox_->currentIndex()); }

void TCameraCheckDlg::OpenCamera(int index) {
  CloseCamera();
  if (index < 0 || index >= static_cast<int>(cameras_.size())) return;
  watcher_.Reset();
  status_->setText(QStringLiteral("カメラを開いています…"));
  source_ = makeSource_(cameras_[index]);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopWorker_ = false;
    readFrame_ = QImage();
  }
  cancelRead_ = false;
  worker_ = std::thread([this] { WorkerLoop(); });
  QString detail;
  const CameraFault fault = source_->Start(
      [this](const QImage& frame, double seconds) { OnFrame(frame, seconds); },
      [this](CameraFault later, const QString& text) {
        QMetaObject::invokeMethod(this, [this, later, text] { ShowFault(later, text); }, Qt::QueuedConnection);
      },
      &detail);
  if (fault != CameraFault::None) {
    CloseCamera();
    ShowFault(fault, detail);
    return;
  }
  status_->setText(kWaiting);
}

void TCameraCheckDlg::CloseCamera() {
  // The camera first, so that it is free at once; then the reader, which stops at its
  // next step.
  if (source_) {
    source_->Stop();
    source_.reset();
  }
  StopWorker();
}

void TCameraCheckDlg::StopWorker() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopWorker_ = true;
  }
  cancelRead_ = true;
  wake_.notify_all();
  worker_.join();
}

void TCameraCheckDlg::ShowFault(CameraFault fault, const QString& detail) {
  CloseCamera();
  QString text = FaultText(fault);
  status_->setText(detail.isEmpty() ? text : text + QStringLiteral("\n(") + detail + QLatin1Char(')'));
  ui_.MessageBox(text, kMessageCaption, kExclamationOk);
}

// --- Frames ---------------------------------------------------------------------------

void TCameraCheckDlg::OnFrame(const QImage& frame, double seconds) {
  bool queue = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previewFrame_ = frame;
    queue = !previewQueued_;
    previewQueued_ = true;
    // The reader takes the newest frame when it is free; older ones are dropped.
    readFrame_ = frame;
    readFrameAt_ = seconds;
  }
  wake_.notify_one();
  if (queue) QMetaObject::invokeMethod(this, &TCameraCheckDlg::ShowNewestFrame, Qt::QueuedConnection);
}

void TCameraCheckDlg::ShowNewestFrame() {
  QImage frame;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frame.swap(previewFrame_);
    previewQueued_ = false;
  }
  if (frame.isNull() || !source_) return;
  // A front camera's picture may be shown as in a mirror; the reader reads the frame
  // as the camera took it.
  QImage shown = frame.scaled(preview_->size(), Qt::KeepAspectRatio, Qt::FastTransformation);
  if (mirrorBox_->isChecked()) shown.mirror(true, false);
  preview_->setPixmap(QPixmap::fromImage(shown));
  if (firstFrame_ < 0) firstFrame_ = Since(opened_);
  ++framesShown_;
}

void TCameraCheckDlg::WorkerLoop() {
  for (;;) {
    QImage frame;
    double at = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopWorker_ || !readFrame_.isNull(); });
      if (stopWorker_) return;
      frame.swap(readFrame_);
      at = readFrameAt_;
    }
    QString error;
    if (!reader_ && !readerFailed_) {
      reader_ = ScanReader::Create(&error);
      readerFailed_ = !reader_;
      if (readerFailed_) {
        QMetaObject::invokeMethod(
            this, [this, error] { ui_.MessageBox(error, kMessageCaption, kExclamationOk); }, Qt::QueuedConnection);
      }
    }
    if (!reader_) return;
    const ImageReading reading = reader_->ReadImage(FrameForReading(frame), kFrameDpi,
                                                    &cancelRead_);
    if (reading.cancelled) return;
    ++framesRead_;
    std::vector<std::string> agreed;
    for (const FoundNumber& number : reading.numbers) {
      if (number.agreed && number.number.size() == 6) agreed.push_back(number.number);
    }
    QMetaObject::invokeMethod(
        this, [this, at, agreed, e = reading.error] { TakeReading(at, agreed, e); }, Qt::QueuedConnection);
  }
}

// --- Verdicts -------------------------------------------------------------------------

void TCameraCheckDlg::TakeReading(double seconds, const std::vector<std::string>& agreed, const QString&) {
  if (!source_) return;  // a reading that finished as the camera closed
  const std::string number = watcher_.Feed(seconds, agreed);
  if (!number.empty()) Judge(number);
}

void TCameraCheckDlg::Judge(const std::string& number) {
  const TicketVerdict verdict = JudgeFullTicket(core_.Store(), "*", number);
  result_->SetBytes(verdict.text);
  PaintVerdict(*result_, verdict.kind);
  SoundVerdict(ui_.Sound(), cue_, settings_, verdict.kind);
  if (logPath_[0] != '\0') {
    *logCounter_ = NextLogNumber(*logCounter_);
    if (logWriter_(logPath_, FormatLogLine(*logCounter_, verdict.group, verdict.number, verdict.result)) ==
        kLogWriteFailed) {
      status_->setText(QStringLiteral("ログファイルの書き込みに失敗しました。"));
    }
  }
  if (addBox_->isChecked()) AppendTicket(number);
}

void TCameraCheckDlg::AppendTicket(const std::string& number) {
  std::string name = number, group, cleaned = number;
  PrepareIncomingTicket(name, group, cleaned);
  SearchTarget ticket{};
  CopyCut(ticket.name, name.c_str());
  CopyCut(ticket.number, cleaned.c_str());
  if (FindDuplicateTickets(core_.Store(), {ticket}).front()) {
    status_->setText(QStringLiteral("この番号は検索対象にあります。"));
    return;
  }
  if (core_.Store().AppendTarget(ticket) <= 0) {
    status_->setText(QStringLiteral("検索対象は %1 件までです。追加できませんでした。").arg(kMaxTargets));
    return;
  }
  status_->setText(QStringLiteral("検索対象に追加しました。"));
  if (targetsChanged_) targetsChanged_();
}

void TCameraCheckDlg::CancelBtnClick() { reject(); }

void TCameraCheckDlg::reject() {
  // Esc and "終了" alike: the camera is freed and the cue stops.
  CloseCamera();
  StopVerdictCue(ui_.Sound(), cue_);
  QDialog::reject();
}

}  // namespace luckyscope
