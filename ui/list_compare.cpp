#include "ui/list_compare.h"

#include <cstdlib>
#include <memory>

#include <QCollator>
#include <QLocale>

#include "core/text_util.h"

namespace luckyscope {
namespace {

// Building a collator is far dearer than one comparison, and a sort makes about
// n log n of them, so one collator is kept per thread and rebuilt only when the
// default locale has changed.
const QCollator& DefaultCollator() {
  thread_local std::unique_ptr<QCollator> collator;
  const QLocale locale;
  if (!collator || collator->locale() != locale) {
    collator = std::make_unique<QCollator>(locale);
    collator->setCaseSensitivity(Qt::CaseInsensitive);
  }
  return *collator;
}

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

int CaptionNumber(const ReportRow& row) { return ReadLenientInt(row.caption.toLatin1().constData()); }

int CompareListItems(const ReportRow& row1, const ReportRow& row2, int key) {
  if (key == 0) return 0;  // no column: every row is equal
  const int column = std::abs(key);
  if (column == 1) {
    const int a = CaptionNumber(row1);
    const int b = CaptionNumber(row2);
    if (a == b) return 0;
    return a > b ? key : -key;
  }
  // Only the sign of the collator's answer is used, so that multiplying by the key
  // can never overflow.
  return Sign(DefaultCollator().compare(row1.Text(column - 1), row2.Text(column - 1))) * key;
}

}  // namespace luckyscope
