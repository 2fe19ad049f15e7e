#include "app/window_state.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QSplitter>
#include <QStringList>
#include <QTreeView>

#include "ui/user_state.h"

namespace luckyscope {
namespace {

constexpr int kMinimumColumn = 8;
constexpr int kMaximumColumn = 4000;
constexpr int kMaximumPane = 20000;

QString Key(const QMainWindow* window, const QString& part) { return window->objectName() + QLatin1Char('/') + part; }

}  // namespace

bool RestoreWindowLayout(const WindowLayout& layout) {
  QMainWindow* window = layout.window;
  // restoreGeometry refuses bytes that are not a saved geometry.
  const QVariant geometry = ReadUserState(Key(window, QStringLiteral("geometry")));
  const bool placed = geometry.typeId() == QMetaType::QByteArray && window->restoreGeometry(geometry.toByteArray());
  if (layout.splitter != nullptr) {
    const QList<int> panes =
        ReadUserStateSizes(Key(window, QStringLiteral("splitter")), layout.splitter->count(), 1, kMaximumPane);
    if (!panes.isEmpty()) layout.splitter->setSizes(panes);
  }
  for (QTreeView* list : layout.lists) {
    QHeaderView* header = list->header();
    const QList<int> widths =
        ReadUserStateSizes(Key(window, list->objectName()), header->count(), kMinimumColumn, kMaximumColumn);
    for (int column = 0; column < widths.size(); ++column) header->resizeSection(column, widths.at(column));
  }
  return placed;
}

void SaveWindowLayout(const WindowLayout& layout) {
  QMainWindow* window = layout.window;
  WriteUserState(Key(window, QStringLiteral("geometry")), window->saveGeometry());
  auto texts = [](const QList<int>& sizes) {
    QStringList out;
    for (int size : sizes) out.append(QString::number(size));
    return out;
  };
  if (layout.splitter != nullptr)
    WriteUserState(Key(window, QStringLiteral("splitter")), texts(layout.splitter->sizes()));
  for (QTreeView* list : layout.lists) {
    QList<int> widths;
    for (int column = 0; column < list->header()->count(); ++column) widths.append(list->header()->sectionSize(column));
    WriteUserState(Key(window, list->objectName()), texts(widths));
  }
}

}  // namespace luckyscope
