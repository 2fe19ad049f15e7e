#pragma once
// Small helpers that every window uses: hints and the program's font.

#include <QFont>
#include <QString>

class QAction;
class QWidget;

namespace luckyscope {

// Splits a hint "short|long" at its first vertical bar. A hint without a bar is used
// whole for both parts.
QString ShortHint(const QString& hint);
QString LongHint(const QString& hint);

// Tool tip = short part, status tip = long part (shown by the main window's status bar
// while the mouse is over the control or the menu item is highlighted). For a list or
// other scroll area the status tip is also set on its viewport, which is what the mouse
// is really over. The long part is also the control's accessible description.
void SetHint(QWidget* widget, const QString& hint);
void SetHint(QAction* action, const QString& hint);

// The program's UI font: "ＭＳ Ｐゴシック" asked for by name, with the Japanese
// "Noto Sans CJK JP" behind it so that no text shows as boxes on Linux.
QFont UiFont(int pixelSize = 12);

}  // namespace luckyscope
