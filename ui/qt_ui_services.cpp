#include "ui/qt_ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "ui/help_window.h"

namespace luckyscope {
namespace {

// Used when the program is given no audio output: every open fails quietly, as with a
// file that cannot be played.
class SilentSoundBackend final : public SoundBackend {
 public:
  std::int32_t OpenByType(SoundDeviceType, const char*) override { return 0; }
  std::int32_t OpenByFileName(const char*) override { return 0; }
  std::int64_t Length(std::int32_t) override { return 0; }
  bool Play(std::int32_t) override { return false; }
  void Close(std::int32_t) override {}
};

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Critical:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QWidget* DialogOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

QtUiServices::QtUiServices(std::unique_ptr<SoundBackend> sound)
    : sound_(sound ? std::move(sound) : std::make_unique<SilentSoundBackend>()) {}

QtUiServices::~QtUiServices() { HelpCloseAll(); }

int QtUiServices::MessageBox(const QString& text, const QString& caption, MessageFlags flags) {
  QMessageBox box(ToQtIcon(flags.icon), caption, text, QMessageBox::NoButton, DialogOwner());
  box.setTextFormat(Qt::PlainText);  // texts such as "(^o^)丿" are shown as they are
  if (flags.buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
  return kAnswerOk;
}

std::optional<std::vector<std::string>> QtUiServices::RunFileDialog(const FileDialogPreset& preset, bool save,
                                                                    bool many) {
  // Qt's dialog opens in the folder of the last file dialog of the run (the current
  // folder the first time), as one dialog object kept for the whole run would.
  QFileDialog dialog(DialogOwner());
  dialog.setObjectName(save ? QStringLiteral("SaveDialog") : QStringLiteral("OpenDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setSizeGripEnabled(true);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // Save asks before it overwrites; open takes only files that exist.
  dialog.setFileMode(save ? QFileDialog::AnyFile : many ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setDefaultSuffix(preset.defaultExtension);
  const QString filter = ToQtFilter(preset.filter);
  if (!filter.isEmpty()) {
    dialog.setNameFilter(filter);
    dialog.selectNameFilter(dialog.nameFilters().value(0));
  }
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(QFile::encodeName(path).toStdString());
  return paths;
}

std::optional<std::string> QtUiServices::OpenFileDialog(const FileDialogPreset& preset) {
  auto chosen = RunFileDialog(preset, false, false);
  if (!chosen) return std::nullopt;
  return chosen->front();
}

std::optional<std::string> QtUiServices::SaveFileDialog(const FileDialogPreset& preset) {
  auto chosen = RunFileDialog(preset, true, false);
  if (!chosen) return std::nullopt;
  return chosen->front();
}

std::optional<std::vector<std::string>> QtUiServices::OpenFilesDialog(const FileDialogPreset& preset) {
  return RunFileDialog(preset, false, true);
}

void QtUiServices::HelpDisplayTopic(const std::string& helpFile) {
  // A modal dialog blocks every window that does not belong to it, so a help window
  // opened from inside a dialog (F1) is made that dialog's own window; otherwise it
  // stands alone. It closes with the dialog it belongs to.
  QWidget* modal = QApplication::activeModalWidget();
  if (!help_) help_ = new HelpWindow(modal);
  if (help_->parentWidget() != modal) help_->setParent(modal, help_->windowFlags() | Qt::Window);
  if (!help_->ShowFile(helpFile)) {
    // Not reported: whatever stood in the window before stays as it was.
    if (help_->FilePath().empty()) {
      delete help_.data();
    }
    return;
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void QtUiServices::HelpCloseAll() {
  if (help_) delete help_.data();
}

HelpWindow* QtUiServices::Help() const { return help_.data(); }

void QtUiServices::OpenUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

}  // namespace luckyscope
