#include "ui/qt_ui_services.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "ui/dialog_folders.h"
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

// The program's message box. A question with Yes and No takes its answer from its
// buttons only: Escape and the title bar's close leave it open, so that no key throws
// unsaved data away. (Qt would make No the escape button of such a box.)
class AnswerBox final : public QMessageBox {
 public:
  AnswerBox(bool buttonsOnly, Icon icon, const QString& caption, const QString& text, QWidget* owner)
      : QMessageBox(icon, caption, text, NoButton, owner), buttonsOnly_(buttonsOnly) {
    setTextFormat(Qt::PlainText);  // texts such as "(^o^)丿" are shown as they are
    if (buttonsOnly_) setWindowFlag(Qt::WindowCloseButtonHint, false);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (buttonsOnly_ && event->matches(QKeySequence::Cancel)) return;
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (buttonsOnly_ && clickedButton() == nullptr) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }

 private:
  bool buttonsOnly_;
};

// The extension of a Qt name filter's first pattern ("当選番号ファイル(*.ban)" → "ban");
// empty when that pattern names no one extension ("*", "*.*").
QString FilterExtension(const QString& nameFilter) {
  static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
  const QRegularExpressionMatch match = patterns.match(nameFilter);
  const QString first = match.hasMatch() ? match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0)
                                         : QString();
  const QString extension = first.startsWith(QLatin1String("*.")) ? first.mid(2) : QString();
  return extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?')) ? QString() : extension;
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
  const bool yesNo = flags.buttons == MessageButtons::YesNo;
  AnswerBox box(yesNo, ToQtIcon(flags.icon), caption, text, DialogOwner());
  if (yesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(flags.defaultNo ? QMessageBox::No : QMessageBox::Yes);
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
  QFileDialog dialog(DialogOwner(), QString(), FileDialogFolder(preset.defaultExtension));
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
    // A name typed without an extension takes the chosen type's, as the system's save
    // dialogs do: a 当選番号ファイル(*.ban) named "prizes" is saved as "prizes.ban".
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &preset](const QString& chosen) {
      const QString extension = FilterExtension(chosen);
      dialog.setDefaultSuffix(extension.isEmpty() ? preset.defaultExtension : extension);
    });
  }
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(QFile::encodeName(path).toStdString());
  RememberFileDialogFolder(preset.defaultExtension, chosen.front());
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

bool QtUiServices::OpenUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

bool QtUiServices::RunWithProgress(const QString& label, int steps, const BackgroundJob& job) {
  JobProgress progress;
  QProgressDialog box(label, QStringLiteral("キャンセル"), 0, std::max(steps, 0), DialogOwner());
  box.setObjectName(QStringLiteral("Progress"));
  box.setWindowTitle(kMessageCaption);
  box.setWindowModality(Qt::WindowModal);
  box.setAutoClose(false);
  box.setAutoReset(false);
  box.setMinimumDuration(0);
  box.hide();  // shown only when the job takes long enough to be noticed
  // Cancel does not hide the box: it stays, saying so, until the job has stopped, so
  // that nothing else starts over a job still running.
  QObject::disconnect(&box, SIGNAL(canceled()), &box, SLOT(cancel()));
  QObject::connect(&box, &QProgressDialog::canceled, &box, [&] {
    if (progress.cancel.exchange(true)) return;
    box.setLabelText(QStringLiteral("キャンセルしています..."));
    if (auto* button = box.findChild<QPushButton*>()) button->setEnabled(false);
  });

  QEventLoop loop;
  std::unique_ptr<QThread> worker(QThread::create([&] { job(progress); }));
  // Queued to this thread, so quit() reaches the loop once it runs.
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  QElapsedTimer clock;
  clock.start();
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &box, [&] {
    if (steps > 0) box.setValue(std::min(progress.done.load(), steps));
    if (!box.isVisible() && clock.elapsed() >= 300) box.show();
  });
  tick.start(100);
  worker->start();
  loop.exec();
  worker->wait();
  tick.stop();
  box.hide();
  return !progress.cancel.load();
}

}  // namespace luckyscope
