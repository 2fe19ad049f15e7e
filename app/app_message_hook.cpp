#include "app/app_message_hook.h"

#include <filesystem>
#include <system_error>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QList>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "app/scan_command.h"
#include "core/data_core.h"
#include "ui/report_list.h"

namespace luckyscope {

namespace {

// The dropped files when every one of them is an image file the scan command reads.
QStringList DroppedImagePaths(const QDropEvent& drop) {
  const QMimeData* mime = drop.mimeData();
  if (mime == nullptr || !mime->hasUrls()) return {};
  QStringList paths;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile() || !ScanCommand::IsImageFile(url.toLocalFile())) return {};
    if (!QFileInfo(url.toLocalFile()).isFile()) return {};
    paths.append(url.toLocalFile());
  }
  return paths;
}

}  // namespace

void AcceptDroppedFiles(ReportList* list) { list->viewport()->setAcceptDrops(true); }

AppMessageHook::AppMessageHook(QWidget& window, ReportList* winningList, ReportList* targetList, DataCore& core,
                               QObject* parent)
    : QObject(parent), window_(window), winningList_(winningList), targetList_(targetList), core_(core) {}

// Every event of the program passes here: the switch comes first so that the others
// cost one comparison.
bool AppMessageHook::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (IsHelpKey(watched, *static_cast<const QKeyEvent*>(event))) emit HelpWanted();
      return false;  // the key goes on to its window all the same

    case QEvent::DragEnter:
    case QEvent::DragMove: {
      if (ListOf(qobject_cast<const QWidget*>(watched)) == DropTarget::None) return false;
      // Any drag that carries files is welcome, so the cursor shows that the list
      // takes files; what the drop holds is judged when it falls. A move offered by
      // the file manager is taken as a copy: the program only reads the file.
      auto* drag = static_cast<QDragMoveEvent*>(event);
      const QMimeData* mime = drag->mimeData();
      if (mime != nullptr && mime->hasUrls() && (drag->possibleActions() & Qt::CopyAction) != 0) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      } else {
        drag->ignore();
      }
      return true;  // the list itself would refuse anything but its own rows
    }

    case QEvent::Drop: {
      auto* receiver = qobject_cast<QWidget*>(watched);
      if (ListOf(receiver) == DropTarget::None) return false;
      auto* drop = static_cast<QDropEvent*>(event);
      if (HandleDrop(receiver, drop) != DropTarget::None) {
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
      } else {
        drop->ignore();  // the file manager learns that nothing was taken
      }
      return true;  // handled, whatever the handling did
    }

    default:
      return false;
  }
}

// F1 counts where the window system delivers it, to the window, so that one press
// opens the help once however far the key travels among the widgets afterwards.
// Shift and Ctrl may be held; Alt+F1 belongs to the desktop. Holding the key down
// opens the help once, not again with every repeat.
bool AppMessageHook::IsHelpKey(const QObject* watched, const QKeyEvent& key) {
  return key.key() == Qt::Key_F1 && watched->isWindowType() && !key.isAutoRepeat() &&
         (key.modifiers() & Qt::AltModifier) == 0;
}

AppMessageHook::DropTarget AppMessageHook::ListOf(const QWidget* receiver) const {
  if (receiver == nullptr) return DropTarget::None;
  if (winningList_ != nullptr && receiver == winningList_->viewport()) return DropTarget::WinningList;
  if (targetList_ != nullptr && receiver == targetList_->viewport()) return DropTarget::TargetList;
  return DropTarget::None;
}

std::string AppMessageHook::DroppedFilePath(const QDropEvent& drop) {
  const QMimeData* mime = drop.mimeData();
  if (mime == nullptr || !mime->hasUrls()) return {};
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1) return {};  // several files at once: none of them
  const QUrl& url = urls.front();
  if (!url.isLocalFile()) return {};
  const QByteArray bytes = QFile::encodeName(url.toLocalFile());
  // A path that does not fit the program's path buffer is not cut to some other
  // name; a NUL inside it (from "%00") would name another file.
  if (bytes.isEmpty() || bytes.size() > kPathSize - 1 || bytes.contains('\0')) return {};
  std::string path(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  // Only a regular file (or a link to one) is read. A folder is ignored, and so are
  // the things a Linux file manager can drag but no data file can be: a named pipe
  // would hold the program until someone writes to it, a device never ends.
  std::error_code error;
  if (std::filesystem::status(std::filesystem::path(path), error).type() != std::filesystem::file_type::regular) {
    return {};
  }
  return path;
}

AppMessageHook::DropTarget AppMessageHook::HandleDrop(QWidget* receiver, QDropEvent* drop) {
  const DropTarget list = ListOf(receiver);
  if (list == DropTarget::None) return DropTarget::None;
  // While one of the program's dialogs is open the lists stand behind it; a drop
  // that reached them anyway must not change the tables under the dialog.
  if (QApplication::activeModalWidget() != nullptr) return DropTarget::None;

  // 1. The program comes to the front, whatever the drop holds.
  window_.raise();
  window_.activateWindow();

  // Scans or photos of postcards dropped on the search targets: their numbers are read.
  if (list == DropTarget::TargetList) {
    const QStringList images = DroppedImagePaths(*drop);
    if (!images.isEmpty()) {
      QMetaObject::invokeMethod(
          this, [this, images] { emit ImagesDropped(images); }, Qt::QueuedConnection);
      return list;
    }
  }

  // 2, 3. Exactly one item, a file that can be read and is no folder.
  const std::string path = DroppedFilePath(*drop);
  if (path.empty()) return DropTarget::None;

  // 4. The control under the cursor: the drop fell on the list's rows.
  if (!receiver->rect().contains(drop->position().toPoint())) return DropTarget::None;

  // 5, 6. The kind must fit the list: winning numbers on the left, search targets on
  // the right; a csv tells its kind by its first line.
  const int kind = core_.ClassifyDataFile(path.c_str());
  const int wanted = list == DropTarget::WinningList ? kWinningFile : kTargetFile;
  if (kind != wanted) return DropTarget::None;

  // The save question may wait for the user as long as it likes: the drop is finished
  // first, so that the file manager is not left hanging in the middle of it.
  QMetaObject::invokeMethod(
      this, [this, list, path] { emit FileDropped(list, path); }, Qt::QueuedConnection);
  return list;
}

}  // namespace luckyscope
