#include "ui/user_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace luckyscope {

QString UserStateFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/luckyscope/state.ini");
}

QVariant ReadUserState(const QString& key) {
  const QString file = UserStateFile();
  if (!QFileInfo(file).isFile()) return {};
  const QSettings state(file, QSettings::IniFormat);
  if (state.status() != QSettings::NoError) return {};
  return state.value(key);
}

bool WriteUserState(const QString& key, const QVariant& value) {
  const QString file = UserStateFile();
  if (!QDir().mkpath(QFileInfo(file).absolutePath())) return false;
  {
    const QSettings existing(file, QSettings::IniFormat);
    // A file that does not read is not merged into: it starts afresh.
    if (existing.status() != QSettings::NoError) QFile::remove(file);
  }
  QSettings state(file, QSettings::IniFormat);
  state.setValue(key, value);
  state.sync();
  return state.status() == QSettings::NoError;
}

QList<int> ReadUserStateSizes(const QString& key, int count, int minimum, int maximum) {
  const QVariant value = ReadUserState(key);
  const QStringList texts = value.toStringList();
  if (texts.size() != count) return {};
  QList<int> sizes;
  for (const QString& text : texts) {
    bool ok = false;
    const int size = text.toInt(&ok);
    if (!ok || size < minimum || size > maximum) return {};
    sizes.append(size);
  }
  return sizes;
}

}  // namespace luckyscope
