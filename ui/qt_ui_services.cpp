#include "ui/qt_ui_services.h"

#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
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

// The modal window below `owner` in its chain of owners that is still open, or null.
QWidget* OpenModalBelow(const QWidget* owner) {
  for (QWidget* w = owner->parentWidget(); w != nullptr; w = w->window()->parentWidget()) {
    QWidget* window = w->window();
    if (window->isModal() && window->isVisible()) return window;
  }
  return nullptr;
}

void LendHelpWindow(HelpWindow& help, QWidget* owner);

// Watches the modal window the help window is lent to. When that window closes, the
// help window goes on to the modal window below it, or stands alone again, and stays
// open: closing a message box or a file dialog must not take the help with it.
class HelpOwnerWatch final : public QObject {
 public:
  explicit HelpOwnerWatch(HelpWindow& help) : QObject(&help), help_(help) { setObjectName(kName); }

  static constexpr char kName[] = "HelpOwnerWatch";

  void Watch(QWidget* owner) {
    if (owner_) owner_->removeEventFilter(this);
    owner_ = owner;
    if (owner_) owner_->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == owner_ && event->type() == QEvent::Hide && !event->spontaneous()) {
      LendHelpWindow(help_, OpenModalBelow(owner_));
    }
    return false;
  }

 private:
  HelpWindow& help_;
  QPointer<QWidget> owner_;
};

// A modal window blocks every window that is not its own, so the help window asked for
// from inside one (F1) is made that window's own for as long as it is open. Null makes
// it a window of its own. An open help window stays open.
void LendHelpWindow(HelpWindow& help, QWidget* owner) {
  // The watch has no meta-object of its own: it is found by its name.
  QObject* found = help.findChild<QObject*>(QLatin1String(HelpOwnerWatch::kName), Qt::FindDirectChildrenOnly);
  auto* watch = found != nullptr ? static_cast<HelpOwnerWatch*>(found) : new HelpOwnerWatch(help);
  watch->Watch(owner);
  if (help.parentWidget() == owner) return;
  const bool open = !help.isHidden();
  help.setParent(owner, help.windowFlags() | Qt::Window);  // hides it
  if (open) help.show();
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
    box.setDefaultButton(flags.defaultNo ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
  return kAnswerOk;
}

namespace {

// Leaves one file name out of a file dialog's list (folders stay).
class HideFileName final : public QSortFilterProxyModel {
 public:
  HideFileName(QString name, QObject* parent) : QSortFilterProxyModel(parent), name_(std::move(name)) {}

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (files == nullptr) return true;
    const QModelIndex index = files->index(row, 0, parent);
    return files->isDir(index) || files->fileName(index) != name_;
  }

 private:
  QString name_;
};

}  // namespace

std::optional<std::vector<std::string>> QtUiServices::RunFileDialog(const FileDialogPreset& preset, bool save,
                                                                    bool many) {
  // Qt's dialog opens in the folder of the last file dialog of the run (the current
  // folder the first time), as one dialog object kept for the whole run would.
  QFileDialog dialog(DialogOwner());
  dialog.setObjectName(save ? QStringLiteral("SaveDialog") : QStringLiteral("OpenDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!preset.hiddenFileName.isEmpty()) dialog.setProxyModel(new HideFileName(preset.hiddenFileName, &dialog));
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
    // A name typed without an extension takes the one of the file type chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
      static const QRegularExpression kExtension(QStringLiteral("\\(\\*\\.(\\w+)"));
      const QRegularExpressionMatch match = kExtension.match(chosen);
      if (match.hasMatch()) dialog.setDefaultSuffix(match.captured(1));
    });
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
  if (!help_) help_ = new HelpWindow;
  if (!help_->ShowFile(helpFile)) {
    // Not reported: whatever stood in the window before stays as it was.
    if (help_->FilePath().empty()) {
      delete help_.data();
    }
    return;
  }
  // Asked for from inside a modal dialog, a message box or a file dialog, the help
  // window is lent to it while it runs and outlives it.
  LendHelpWindow(*help_, QApplication::activeModalWidget());
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
