#pragma once
// The command "はがきから読み取り(&R)..." of the edit menu, and images dropped on the
// search-target list: the numbers of the postcards on the chosen scans or photos are
// read, confirmed in a dialog and appended to the search targets.

#include <QObject>
#include <QStringList>

class QAction;

namespace luckyscope {

class DataCore;
class TSDIAppForm;
class UiServices;

class ScanCommand : public QObject {
  Q_OBJECT

 public:
  ScanCommand(TSDIAppForm& form, DataCore& core, UiServices& ui);

  QAction* Action() const { return action_; }
  // The command: asks for one or more image files, then reads them.
  void Run();
  // Reads the files, shows the confirmation and, when something was added, the
  // search-target list again.
  void ReadFiles(const QStringList& paths);

  // A file the command reads, judged by its name (PNG, JPEG, TIFF).
  static bool IsImageFile(const QString& path);

 private:
  TSDIAppForm& form_;
  DataCore& core_;
  UiServices& ui_;
  QAction* action_ = nullptr;
};

}  // namespace luckyscope
