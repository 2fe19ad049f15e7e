#pragma once
// The application-wide hook of the main window: an event filter on the QApplication
// that sees what the window system hands to any window of the program, modal dialogs
// included. F1 opens the help from everywhere (the key still goes on to its window),
// and a file dropped from a file manager on one of the main window's two lists is
// loaded into the table that list shows.

#include <string>

#include <QObject>

class QDropEvent;
class QEvent;
class QKeyEvent;
class QWidget;

namespace luckyscope {

class DataCore;
class ReportList;
class TSDIAppForm;

// Makes a list take files dropped from a file manager. The drops land on the list's
// rows (its viewport); the header and the frame take none.
void AcceptDroppedFiles(ReportList* list);

class AppMessageHook final : public QObject {
  Q_OBJECT

 public:
  // Bound to the main window, whose help command F1 runs and whose lists and save
  // questions a drop uses. Install it with QCoreApplication::installEventFilter.
  AppMessageHook(TSDIAppForm& form, DataCore& core, QObject* parent = nullptr);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What a drop came to, decided while the drop is delivered.
  enum class DropTarget { None, WinningList, TargetList };

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
  void LoadDroppedFile(DropTarget target, const std::string& path);

  TSDIAppForm& form_;
  DataCore& core_;
};

}  // namespace luckyscope
