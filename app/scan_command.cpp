#include "app/scan_command.h"

#include <utility>
#include <vector>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "core/data_core.h"
#include "dialogs/scan_confirm_dlg.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {

ScanCommand::ScanCommand(DataCore& core, UiServices& ui, QWidget& window, TargetsChanged targetsChanged)
    : QObject(&window), core_(core), ui_(ui), window_(window), targetsChanged_(std::move(targetsChanged)) {
  action_ = new QAction(QStringLiteral("はがきから読み取り(&R)..."), &window);
  action_->setObjectName(QStringLiteral("EditScan1"));
  SetHint(action_, QStringLiteral("はがきから読み取り|はがきのスキャン画像や写真からお年玉くじの番号を読み取ります"));
  connect(action_, &QAction::triggered, this, &ScanCommand::Run);
}

ScanCommand::~ScanCommand() = default;

bool ScanCommand::IsImageFile(const QString& path) {
  static const QStringList kSuffixes = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                        QStringLiteral("tif"), QStringLiteral("tiff")};
  return kSuffixes.contains(QFileInfo(path).suffix().toLower());
}

void ScanCommand::Run() {
  const auto chosen = ui_.OpenFilesDialog({QString(), TScanConfirmDlg::ImageFilter()});
  if (!chosen) return;
  QStringList paths;
  for (const std::string& path : *chosen) paths.append(QFile::decodeName(QByteArray::fromStdString(path)));
  ReadFiles(paths);
}

void ScanCommand::ReadFiles(const QStringList& paths) {
  const int first = core_.Store().TargetCount() + 1;
  int added = 0;
  std::vector<ScannedImage> scans;
  QString error;
  // The reading runs off the window's thread; Cancel stops the images being read.
  const bool finished =
      !paths.isEmpty() &&
      ui_.RunWithProgress(QStringLiteral("はがきの画像を読み取っています..."), static_cast<int>(paths.size()),
                          [&](JobProgress& progress) {
                            std::vector<ImageReading> readings =
                                readers_.ReadFiles(paths, &progress.cancel, &progress.done, &error);
                            for (std::size_t i = 0; i < readings.size(); ++i) {
                              scans.push_back({paths[static_cast<qsizetype>(i)], std::move(readings[i])});
                            }
                          });
  if (finished && !error.isEmpty()) {
    ui_.MessageBox(error, kMessageCaption, kExclamationOk);
  } else if (finished) {
    TScanConfirmDlg dialog(core_, ui_, &window_);
    dialog.setObjectName(QStringLiteral("ScanConfirmDlg"));
    dialog.SetScans(scans);
    // The tickets appended can be taken back with "元に戻す", as deleted ones can.
    core_.AppendUndoably([&] { dialog.exec(); });
    added = dialog.Added();
  }
  if (targetsChanged_) targetsChanged_(first, added);
}

}  // namespace luckyscope
