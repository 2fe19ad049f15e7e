#include "ui/list_compare.h"

#include <cstdlib>
#include <memory>
#include <vector>

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

void SortListItems(ReportList& list, int key) {
  if (key == 0 || list.RowCount() < 2) return;  // no column: every row is equal
  const int column = std::abs(key);
  const auto rows = static_cast<std::size_t>(list.RowCount());
  if (column == 1) {
    std::vector<int> numbers(rows);
    for (std::size_t r = 0; r < rows; ++r) numbers[r] = CaptionNumber(list.Row(static_cast<int>(r)));
    list.SortRows([&](int a, int b) {
      const int x = numbers[static_cast<std::size_t>(a)];
      const int y = numbers[static_cast<std::size_t>(b)];
      return x == y ? 0 : (x > y ? key : -key);
    });
    return;
  }
  const QCollator& collator = DefaultCollator();
  if (collator.locale().language() == QLocale::C) {
    // The C locale's collator compares the texts themselves (its keys would not
    // ignore letter case); that comparison is cheap, so only the texts are kept.
    std::vector<QString> texts(rows);
    for (std::size_t r = 0; r < rows; ++r) texts[r] = list.Text(static_cast<int>(r), column - 1);
    list.SortRows([&](int a, int b) {
      return Sign(collator.compare(texts[static_cast<std::size_t>(a)], texts[static_cast<std::size_t>(b)])) * key;
    });
    return;
  }
  // A collation key orders as the collator's own comparison of the texts does.
  std::vector<QCollatorSortKey> keys;
  keys.reserve(rows);
  for (std::size_t r = 0; r < rows; ++r) keys.push_back(collator.sortKey(list.Text(static_cast<int>(r), column - 1)));
  list.SortRows([&](int a, int b) {
    return Sign(keys[static_cast<std::size_t>(a)].compare(keys[static_cast<std::size_t>(b)])) * key;
  });
}

}  // namespace luckyscope
