#pragma once
// The command "はがきから読み取り(&R)..." of the edit menu, and images dropped on the
// search-target list: the numbers of the postcards on the chosen scans or photos are
// read in the background behind a progress box that can be cancelled, confirmed in a
// dialog and appended to the search targets. The readers made for the first reading
// stay loaded for the rest of the session.

#include <functional>

#include <QObject>
#include <QStringList>

#include "scan/scan_loader.h"

class QAction;
class QWidget;

namespace luckyscope {

class DataCore;
class UiServices;

class ScanCommand : public QObject {
  Q_OBJECT

 public:
  // Told after every reading, once the confirmation (if any) has closed: the targets it
  // appended are the registration numbers first .. first + count - 1 (count 0: none).
  using TargetsChanged = std::function<void(int first, int count)>;

  // `window` owns the action and the dialogs.
  ScanCommand(DataCore& core, UiServices& ui, QWidget& window, TargetsChanged targetsChanged);
  ~ScanCommand() override;

  QAction* Action() const { return action_; }
  // The command: asks for one or more image files, then reads them.
  void Run();
  // Reads the files, shows the confirmation and tells what it appended.
  void ReadFiles(const QStringList& paths);

  // A file the command reads, judged by its name (PNG, JPEG, TIFF).
  static bool IsImageFile(const QString& path);

 private:
  DataCore& core_;
  UiServices& ui_;
  QWidget& window_;
  TargetsChanged targetsChanged_;
  QAction* action_ = nullptr;
  ScanReaders readers_;
};

}  // namespace luckyscope
