#include "ui/dialog_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "ui/user_state.h"

namespace luckyscope {
namespace {

QString StateKey(const QString& defaultExtension) {
  return QStringLiteral("fileDialogs/") + FileDialogFolderKind(defaultExtension);
}

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

}  // namespace

QString FileDialogFolderKind(const QString& defaultExtension) {
  const QString extension = defaultExtension.toLower();
  if (extension == QLatin1String("dat") || extension == QLatin1String("ban")) return QStringLiteral("data");
  if (extension.isEmpty()) return QStringLiteral("other");
  // The key of an INI file: letters and digits only.
  QString key;
  for (const QChar c : extension) {
    if (c.isLetterOrNumber() && c.unicode() < 0x80) key += c;
  }
  return key.isEmpty() ? QStringLiteral("other") : key;
}

QString FileDialogFolder(const QString& defaultExtension) {
  const QString remembered = ReadUserState(StateKey(defaultExtension)).toString();
  if (IsFolder(remembered)) return remembered;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (IsFolder(documents)) return documents;
  return QDir::homePath();
}

void RememberFileDialogFolder(const QString& defaultExtension, const QString& chosenFile) {
  const QString folder = QFileInfo(chosenFile).absolutePath();
  if (ReadUserState(StateKey(defaultExtension)).toString() == folder) return;
  WriteUserState(StateKey(defaultExtension), folder);
}

}  // namespace luckyscope
