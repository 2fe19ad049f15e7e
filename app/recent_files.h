#pragma once
// The recent files of the ファイル menu: the last eight data files opened or saved, of
// both kinds, the latest first. Kept in the user's state file (ui/user_state.h).

#include <functional>

#include <QString>
#include <QStringList>

class QMenu;

namespace luckyscope {

class RecentFiles {
 public:
  static constexpr int kLimit = 8;

  // The list as the state file holds it (at most eight, no repeats, no empty names).
  static RecentFiles Load();
  explicit RecentFiles(const QStringList& files = {});

  // Puts the file at the front (once) and drops what falls beyond eight. True when the
  // list changed.
  bool Add(const QString& path);
  const QStringList& Files() const { return files_; }
  void Save() const;

  // Fills the menu with one item per file, "&1 path" and on; a file that is no longer
  // there is shown disabled. Choosing an item calls open with its path.
  void FillMenu(QMenu& menu, const std::function<void(const QString&)>& open) const;

 private:
  QStringList files_;
};

}  // namespace luckyscope
