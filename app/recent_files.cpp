#include "app/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "ui/user_state.h"

namespace luckyscope {
namespace {

const QString kKey = QStringLiteral("RecentFiles/files");

}  // namespace

RecentFiles::RecentFiles(const QStringList& files) {
  // Taken in reverse through Add, so that the first stays first.
  for (auto it = files.crbegin(); it != files.crend(); ++it) Add(*it);
}

RecentFiles RecentFiles::Load() { return RecentFiles(ReadUserState(kKey).toStringList()); }

bool RecentFiles::Add(const QString& path) {
  if (path.isEmpty()) return false;
  if (!files_.isEmpty() && files_.first() == path) return false;
  files_.removeAll(path);
  files_.prepend(path);
  while (files_.size() > kLimit) files_.removeLast();
  return true;
}

void RecentFiles::Save() const { WriteUserState(kKey, files_); }

void RecentFiles::FillMenu(QMenu& menu, const std::function<void(const QString&)>& open) const {
  menu.clear();
  int number = 0;
  for (const QString& path : files_) {
    ++number;
    QString shown = QDir::toNativeSeparators(path);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = menu.addAction(QStringLiteral("&%1 %2").arg(number).arg(shown));
    item->setObjectName(QStringLiteral("RecentFile%1").arg(number));
    item->setStatusTip(path);
    item->setEnabled(QFileInfo(path).isFile());
    QObject::connect(item, &QAction::triggered, &menu, [open, path] { open(path); });
  }
  menu.setEnabled(!files_.isEmpty());
}

}  // namespace luckyscope
