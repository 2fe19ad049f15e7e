// The report list: the sorting hook (stable, sign of the key, 10,000 rows), selection
// and focus that follow their rows, and the signals the windows handle.

#include "ui/report_list.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/support/test_application.h"
#include "ui/list_compare.h"

namespace luckyscope {
namespace {

// Numbers in the caption, the way the search-target list compares its "No." column.
int CompareNumber(const ReportRow& a, const ReportRow& b, int key) {
  const int x = a.caption.toInt();
  const int y = b.caption.toInt();
  if (x == y) return 0;
  return x > y ? key : -key;
}

// Text of column |key|, letter case ignored.
int CompareText(const ReportRow& a, const ReportRow& b, int key) {
  const int column = std::abs(key) - 1;
  return QString::compare(a.Text(column), b.Text(column), Qt::CaseInsensitive) * (key < 0 ? -1 : 1);
}

class ReportListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.SetColumns({{QStringLiteral("No."), 40}, {QStringLiteral("名前"), 150}, {QStringLiteral("組"), 50}});
    list_.resize(400, 300);
    list_.show();
  }

  QStringList Captions() const {
    QStringList out;
    for (int r = 0; r < list_.RowCount(); ++r) out << list_.Text(r, 0);
    return out;
  }

  QApplication& app_ = TestApplication();  // before any widget
  ReportList list_;
};

TEST_F(ReportListTest, SortKeySignDecidesTheDirectionAndPositiveMeansAfter) {
  for (const char* n : {"3", "10", "1", "2"}) list_.AddRow(QString::fromLatin1(n));
  list_.SortRows(CompareNumber, 1);
  EXPECT_EQ(Captions(), (QStringList{"1", "2", "3", "10"}));
  list_.SortRows(CompareNumber, -1);
  EXPECT_EQ(Captions(), (QStringList{"10", "3", "2", "1"}));
}

TEST_F(ReportListTest, SortIsStableForEqualRows) {
  // Column 2 ties (letter case ignored); the caption records the original order.
  const char* names[] = {"b", "A", "B", "a", "b", "c", "A"};
  for (int i = 0; i < 7; ++i) list_.AddRow(QString::number(i), {QString::fromLatin1(names[i])});
  list_.SortRows(CompareText, 2);
  EXPECT_EQ(Captions(), (QStringList{"1", "3", "6", "0", "2", "4", "5"}));
  list_.SortRows(CompareText, -2);
  EXPECT_EQ(Captions(), (QStringList{"5", "0", "2", "4", "1", "3", "6"}));
}

TEST_F(ReportListTest, TenThousandRowsFillAndSort) {
  std::vector<ReportRow> rows;
  rows.reserve(10000);
  for (int i = 1; i <= 10000; ++i) {
    rows.push_back({QString::number(i), {QStringLiteral("名前%1").arg((i * 7919) % 10000), QStringLiteral("01")}});
  }
  list_.AddRows(std::move(rows));
  ASSERT_EQ(list_.RowCount(), 10000);
  list_.SortRows(CompareNumber, -1);
  EXPECT_EQ(list_.Text(0, 0), QStringLiteral("10000"));
  EXPECT_EQ(list_.Text(9999, 0), QStringLiteral("1"));
  list_.SortRows(CompareText, 2);
  for (int r = 1; r < 10000; ++r) {
    ASSERT_LE(QString::compare(list_.Text(r - 1, 1), list_.Text(r, 1), Qt::CaseInsensitive), 0) << r;
  }
}

TEST_F(ReportListTest, SelectionAndFocusMarkFollowTheirRowsThroughASort) {
  list_.SetMultiSelect(true);
  for (const char* n : {"1", "2", "3", "4", "5"}) list_.AddRow(QString::fromLatin1(n));
  list_.SelectAndFocusRow(1);  // "2"
  list_.selectionModel()->select(list_.Model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  list_.SortRows(CompareNumber, -1);                          // 5 4 3 2 1
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{1, 3}));  // "4" and "2"
  EXPECT_EQ(list_.Text(list_.FocusedRow(), 0), QStringLiteral("2"));
}

TEST_F(ReportListTest, SelectAndFocusLeavesTheKeyboardFocusWhereItIs) {
  QWidget window;
  auto* edit = new QLineEdit(&window);
  list_.setParent(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  edit->setFocus();
  for (const char* n : {"1", "2", "3"}) list_.AddRow(QString::fromLatin1(n));
  QSignalSpy changed(&list_, &ReportList::SelectionChanged);
  list_.SelectAndFocusRow(2);
  EXPECT_EQ(list_.SelectedRows(), std::vector<int>{2});
  EXPECT_EQ(list_.FocusedRow(), 2);
  EXPECT_GE(changed.count(), 1);
  EXPECT_TRUE(edit->hasFocus());
  // Single selection: a second call replaces the first.
  list_.SelectAndFocusRow(0);
  EXPECT_EQ(list_.SelectedRows(), std::vector<int>{0});
  list_.setParent(nullptr);
}

TEST_F(ReportListTest, SignalsForColumnClickDoubleClickAndKeys) {
  for (const char* n : {"1", "2"}) list_.AddRow(QString::fromLatin1(n), {QStringLiteral("x")});
  QSignalSpy columns(&list_, &ReportList::ColumnClicked);
  QSignalSpy doubles(&list_, &ReportList::DoubleClicked);
  QSignalSpy keys(&list_, &ReportList::KeyPressed);

  QHeaderView* header = list_.header();
  const QPoint second(header->sectionViewportPosition(1) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, second);
  ASSERT_EQ(columns.count(), 1);
  EXPECT_EQ(columns.at(0).at(0).toInt(), 2);  // 1-based

  list_.SetHeaderClickable(false);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, second);
  EXPECT_EQ(columns.count(), 1);

  const QRect row1 = list_.visualRect(list_.Model()->index(1, 0));
  QTest::mouseDClick(list_.viewport(), Qt::LeftButton, {}, row1.center());
  ASSERT_EQ(doubles.count(), 1);
  EXPECT_EQ(doubles.at(0).at(0).toInt(), 1);
  QTest::mouseDClick(list_.viewport(), Qt::LeftButton, {}, QPoint(5, list_.viewport()->height() - 5));
  ASSERT_EQ(doubles.count(), 2);
  EXPECT_EQ(doubles.at(1).at(0).toInt(), -1);

  QTest::keyClick(&list_, Qt::Key_Delete, Qt::ShiftModifier);  // Shift itself is a key press too
  QTest::keyClick(&list_, Qt::Key_Return);
  ASSERT_EQ(keys.count(), 3);
  EXPECT_EQ(keys.at(0).at(0).toInt(), int(Qt::Key_Shift));
  EXPECT_EQ(keys.at(1).at(0).toInt(), int(Qt::Key_Delete));
  EXPECT_EQ(keys.at(1).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
  EXPECT_EQ(keys.at(2).at(2).toString(), QStringLiteral("\r"));
}

// The windows sort with a key per row made once; the order must be the one that
// comparing the rows themselves gives, in every locale, for both directions, for the
// number column, text columns and a column the rows do not have.
TEST_F(ReportListTest, SortListItemsOrdersAsCompareListItems) {
  const char* names[] = {"tanaka", "Tanaka", "",  "田中", "たなか", "タナカ", "Abe",   "abe",
                         "Ａbe",   "10",     "9", "鈴木", "①",      "x y",    "TANAKA"};
  const QLocale before;
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Japanese, QLocale::Japan), QLocale(QLocale::English)}) {
    QLocale::setDefault(locale);
    for (int key : {1, -1, 2, -2, -3, 4, 0}) {
      std::vector<ReportRow> rows;
      for (int i = 0; i < 15; ++i) {
        rows.push_back({QString::number((i * 7) % 15 - 2), {QString::fromUtf8(names[i]), QString::number(i)}});
      }
      std::vector<ReportRow> expected = rows;
      std::stable_sort(expected.begin(), expected.end(),
                       [&](const ReportRow& a, const ReportRow& b) { return CompareListItems(a, b, key) < 0; });
      list_.Clear();
      list_.AddRows(std::move(rows));
      SortListItems(list_, key);
      for (int r = 0; r < 15; ++r) {
        ASSERT_EQ(list_.Text(r, 2), expected[static_cast<std::size_t>(r)].Text(2))
            << locale.name().toStdString() << ", key " << key << ", row " << r;
      }
    }
  }
  QLocale::setDefault(before);
}

}  // namespace
}  // namespace luckyscope
