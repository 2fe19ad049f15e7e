#pragma once
// The application-wide hook of the main window: an event filter on the QApplication
// that sees what the window system hands to any window of the program, modal dialogs
// included. F1 opens the help from everywhere (the key still goes on to its window),
// and a file dropped from a file manager on one of the main window's two lists is
// loaded into the table that list shows. The hook knows the window only as a widget
// and its two lists; what a key or a drop asks for it says through its signals, which
// the main window answers.

#include <string>

#include <QObject>
#include <QStringList>

class QDropEvent;
class QEvent;
class QKeyEvent;
class QWidget;

namespace luckyscope {

class DataCore;
class ReportList;

// Makes a list take files dropped from a file manager. The drops land on the list's
// rows (its viewport); the header and the frame take none.
void AcceptDroppedFiles(ReportList* list);

class AppMessageHook final : public QObject {
  Q_OBJECT

 public:
  // What a drop came to, decided while the drop is delivered.
  enum class DropTarget { None, WinningList, TargetList };

  // Bound to the main window, which a drop brings to the front, and its two lists
  // (winning numbers, search targets). Install it with
  // QCoreApplication::installEventFilter.
  AppMessageHook(QWidget& window, ReportList* winningList, ReportList* targetList, DataCore& core,
                 QObject* parent = nullptr);

  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // F1 was pressed in some window of the program.
  void HelpWanted();
  // A file of the list's kind was dropped on `list` (WinningList or TargetList); sent
  // once the drop has been finished. The file is judged again when it is loaded: it
  // may have been replaced since.
  void FileDropped(luckyscope::AppMessageHook::DropTarget list, const std::string& path);
  // Image files (scans or photos of postcards) were dropped on the search-target list;
  // sent once the drop has been finished.
  void ImagesDropped(const QStringList& paths);

 private:
  // The dropped-file handling for a drop on `receiver` (one of the lists' viewports).
  // Returns what it will load: the load itself (save question, read, refills) runs
  // right after the drop has been finished, so that the file manager is not held while
  // the save question waits for the user. Every drop that loads nothing is ignored
  // without a message.
  DropTarget HandleDrop(QWidget* receiver, QDropEvent* drop);

  // The path of a drop as file-name bytes, or empty when the drop holds anything but
  // exactly one local file of at most 511 bytes of path that is a regular file.
  static std::string DroppedFilePath(const QDropEvent& drop);

  static bool IsHelpKey(const QObject* watched, const QKeyEvent& key);
  DropTarget ListOf(const QWidget* receiver) const;

  QWidget& window_;
  ReportList* winningList_;
  ReportList* targetList_;
  DataCore& core_;
};

}  // namespace luckyscope
