#include "ui/user_state.h"

#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "core/file_io.h"

namespace luckyscope {

namespace {

// The state file is small; anything larger is not one the program wrote.
constexpr long long kStateFileLimit = 1024 * 1024;

// QSettings opens its file itself: it would follow any link, block on a FIFO and
// replace the file its own way. So it only ever sees a copy in a private temporary
// folder; the file itself is read as a regular file only and written through the
// program's safe writer. Empty when there is no state to read (or no copy could be made).
QString CopyOfStateFile(const QTemporaryDir& work) {
  std::string bytes;
  if (!ReadWholeFile(QFile::encodeName(UserStateFile()).constData(), bytes, kStateFileLimit)) return {};
  const QString copy = work.filePath(QStringLiteral("state.ini"));
  QFile out(copy);
  if (!out.open(QIODevice::WriteOnly) ||
      out.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    return {};
  }
  return copy;
}

}  // namespace

QString UserStateFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/luckyscope/state.ini");
}

QVariant ReadUserState(const QString& key) {
  const QTemporaryDir work;
  if (!work.isValid()) return {};
  const QString copy = CopyOfStateFile(work);
  if (copy.isEmpty()) return {};
  const QSettings state(copy, QSettings::IniFormat);
  if (state.status() != QSettings::NoError) return {};
  return state.value(key);
}

bool WriteUserState(const QString& key, const QVariant& value) {
  const QString file = UserStateFile();
  if (!QDir().mkpath(QFileInfo(file).absolutePath())) return false;
  const QTemporaryDir work;
  if (!work.isValid()) return false;
  // The value goes into the copy of the file; a file that does not read is not merged
  // into but started afresh, under another name (QSettings remembers a file it failed
  // to read).
  QString written;
  for (const QString& copy : {CopyOfStateFile(work), work.filePath(QStringLiteral("fresh.ini"))}) {
    if (copy.isEmpty()) continue;
    QSettings state(copy, QSettings::IniFormat);
    if (state.status() != QSettings::NoError) continue;
    state.setValue(key, value);
    state.sync();
    if (state.status() != QSettings::NoError) continue;
    written = copy;
    break;
  }
  std::string bytes;
  if (written.isEmpty() || !ReadWholeFile(QFile::encodeName(written).constData(), bytes, kStateFileLimit)) return false;
  SafeFileWriter writer;
  return writer.Open(QFile::encodeName(file).constData()) && writer.Write(bytes.data(), bytes.size()) &&
         writer.Commit();
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
