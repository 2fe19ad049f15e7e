#pragma once
// Where the open and save dialogs start: in the folder last used for the same kind of
// file, kept in the user's state file, else in the user's documents folder
// (XDG_DOCUMENTS_DIR), else in the home folder. Never in the program's working folder:
// started from the menu that is a hidden folder under ~/.local/share, where a saved
// list or PDF would be lost to the file manager. The settings file stays where it is.

#include <QString>

namespace luckyscope {

// The kind of file a dialog with this default extension (without the dot) deals in:
// search-target and winning-number files are one kind, as the open dialog offers both;
// every other extension is a kind of its own.
QString FileDialogFolderKind(const QString& defaultExtension);

// The folder a dialog for that default extension starts in. A remembered folder that
// is gone no longer counts.
QString FileDialogFolder(const QString& defaultExtension);

// Remembers the folder of `chosenFile` for the kind of that default extension.
void RememberFileDialogFolder(const QString& defaultExtension, const QString& chosenFile);

}  // namespace luckyscope
