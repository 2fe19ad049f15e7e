#include "ui/ui_helpers.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QStringList>
#include <QWidget>

namespace luckyscope {

QString ShortHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.left(bar);
}

QString LongHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.mid(bar + 1);
}

void SetHint(QWidget* widget, const QString& hint) {
  if (widget == nullptr) return;
  widget->setToolTip(ShortHint(hint));
  widget->setStatusTip(LongHint(hint));
  // A screen reader reads the long part as the control's description.
  widget->setAccessibleDescription(LongHint(hint));
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
    area->viewport()->setToolTip(ShortHint(hint));
    area->viewport()->setStatusTip(LongHint(hint));
  }
}

void SetHint(QAction* action, const QString& hint) {
  if (action == nullptr) return;
  action->setToolTip(ShortHint(hint));
  action->setStatusTip(LongHint(hint));
}

QFont UiFont(int pixelSize) {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace luckyscope
