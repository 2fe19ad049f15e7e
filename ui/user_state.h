#pragma once
// The user's own state beside the settings file: the window layout, the recent files
// and view choices such as the count check's "0本を隠す". It lives in an INI file in
// the user's configuration folder ($XDG_CONFIG_HOME/luckyscope/state.ini, by default
// ~/.config/luckyscope/state.ini), never in the base folder, whose settings file keeps
// its own format. A missing or damaged file reads as empty: the windows then keep
// their own sizes and choices. The file is read only when it is a regular file and
// written through the program's safe writer (core/file_io.h), under the same rules for
// links and shared folders as every other file the program writes.

#include <QString>
#include <QVariant>

namespace luckyscope {

// The state file's path.
QString UserStateFile();

// The value stored under key, or an invalid QVariant when the file, the key or the
// whole file is unreadable.
QVariant ReadUserState(const QString& key);

// Stores value under key and writes the file at once. A damaged file is started
// afresh; a folder that cannot be written loses the state silently (it is comfort,
// not data). False when it could not be written.
bool WriteUserState(const QString& key, const QVariant& value);

// A list of pixel sizes read back from the state: exactly `count` numbers, each within
// minimum..maximum, or an empty list (the caller keeps its own sizes).
QList<int> ReadUserStateSizes(const QString& key, int count, int minimum, int maximum);

}  // namespace luckyscope
