#include "app/scan_command.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>

#include "app/sdi_app_form.h"
#include "core/data_core.h"
#include "dialogs/scan_confirm_dlg.h"
#include "ui/ui_helpers.h"
#include "ui/ui_services.h"

namespace luckyscope {

ScanCommand::ScanCommand(TSDIAppForm& form, DataCore& core, UiServices& ui)
    : QObject(&form), form_(form), core_(core), ui_(ui) {
  action_ = new QAction(QStringLiteral("はがきから読み取り(&R)..."), &form);
  action_->setObjectName(QStringLiteral("EditScan1"));
  SetHint(action_, QStringLiteral("はがきから読み取り|はがきのスキャン画像や写真からお年玉くじの番号を読み取ります"));
  connect(action_, &QAction::triggered, this, &ScanCommand::Run);
}

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
  TScanConfirmDlg dialog(core_, ui_, &form_);
  dialog.setObjectName(QStringLiteral("ScanConfirmDlg"));
  bool shown = false;
  // The tickets appended can be taken back with "元に戻す", as deleted ones can.
  core_.AppendUndoably([&] { shown = dialog.ReadAndConfirm(paths); });
  form_.FormActivate();
  if (shown && dialog.Added() > 0) form_.ShowTargetsAgain();
}

}  // namespace luckyscope
