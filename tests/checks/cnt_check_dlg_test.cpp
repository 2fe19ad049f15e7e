// The count check: counts by last digit and last two digits, the tickets behind a
// count, sorting them by a header click, and the keys that close it.

#include "checks/cnt_check_dlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QTimer>

#include "checks/count_chart.h"
#include "tests/checks/check_test_support.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/store_builders.h"
#include "ui/report_list.h"
#include "ui/user_state.h"

namespace luckyscope {
namespace {

using namespace luckyscope::testing;

class CntCheckTest : public ::testing::Test {
 protected:
  ReportList* List(const char* name) { return dlg_.findChild<ReportList*>(name); }
  QComboBox* Combo() { return dlg_.findChild<QComboBox*>("ComboBox1"); }

  // The rows of a list, each as "caption|sub|sub".
  std::vector<QString> Rows(const char* name) {
    std::vector<QString> rows;
    ReportList* list = List(name);
    for (int r = 0; r < list->RowCount(); ++r) {
      QStringList texts;
      for (int c = 0; c < list->ColumnCount(); ++c) texts << list->Text(r, c);
      rows.push_back(texts.join('|'));
    }
    return rows;
  }

  void ClickHeader(int column) {
    QHeaderView* header = List("ListView2")->header();
    const int x = header->sectionViewportPosition(column - 1) + header->sectionSize(column - 1) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  }

  QApplication& app_ = TestApplication();  // before any widget
  DataCore core_;
  ScriptedUiServices ui_;
  TCntCheckDlg dlg_{core_, ui_};
};

TEST_F(CntCheckTest, LastDigitCountsAndTheTicketsBehindThem) {
  AppendTarget(core_.Store(), Target(Cp("山田"), "01", "1230"));
  AppendTarget(core_.Store(), Target("b", "02", "4560"));
  AppendTarget(core_.Store(), Target("c", "03", "5"));
  AppendTarget(core_.Store(), Target("d", "04", "12345a"));
  ShowActive(dlg_);
  EXPECT_EQ(FocusName(), "ListView1");
  const std::vector<QString> counts = Rows("ListView1");
  ASSERT_EQ(counts.size(), 10u);
  EXPECT_EQ(counts[0], "0|    2本");
  EXPECT_EQ(counts[5], "5|    1本") << "12345a has no valid last digit";
  EXPECT_EQ(counts[9], "9|    0本");
  EXPECT_EQ(List("ListView1")->SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(Rows("ListView2"), (std::vector<QString>{"1|1230|01|山田", "2|4560|02|b"}));
  EXPECT_EQ(List("ListView2")->FocusedRow(), 0);

  for (int row = 1; row <= 5; ++row) Press(Qt::Key_Down);  // every pick refills the ticket list
  EXPECT_EQ(Rows("ListView2"), std::vector<QString>{"3|5|03|c"});
  Press(Qt::Key_Down);
  EXPECT_TRUE(Rows("ListView2").empty()) << "a count of 0 lists nothing";
}

TEST_F(CntCheckTest, LastTwoDigitsAndTheTailRule) {
  for (const char* number : {"5", "107", "12345a", "9a", "1 7", "200", "X99"})
    AppendTarget(core_.Store(), Target("n", "g", number));
  ShowActive(dlg_);
  Combo()->setFocus();
  Press(Qt::Key_Down);  // "下２桁表示"
  const std::vector<QString> counts = Rows("ListView1");
  ASSERT_EQ(counts.size(), 100u);
  EXPECT_EQ(counts[0], "00|    1本");
  EXPECT_EQ(counts[5], "05|    1本") << "5a counts as 5";
  EXPECT_EQ(counts[7], "07|    1本") << "107 counts, \" 7\" does not";
  EXPECT_EQ(counts[99], "99|    1本");
  int total = 0;
  for (const QString& row : counts) total += row.section('|', 1).chopped(1).trimmed().toInt();
  EXPECT_EQ(total, 4) << "5 (too short), 9a and \" 7\" are not counted";
  EXPECT_EQ(FocusName(), "ListView1");
  EXPECT_EQ(Rows("ListView2"), std::vector<QString>{"6|200|g|n"});

  // The view is kept for the next showing; going back rebuilds the last-digit view.
  dlg_.hide();
  ShowActive(dlg_);
  EXPECT_EQ(List("ListView1")->RowCount(), 100);
  Combo()->setCurrentIndex(0);
  EXPECT_EQ(List("ListView1")->RowCount(), 10);
  EXPECT_EQ(List("ListView1")->SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(Rows("ListView2"), std::vector<QString>{"6|200|g|n"});
}

TEST_F(CntCheckTest, HeaderClicksSortTheTicketList) {
  AppendTarget(core_.Store(), Target("b", "2", "300"));
  AppendTarget(core_.Store(), Target("A", "1", "100"));
  AppendTarget(core_.Store(), Target("c", "3", "200"));
  ShowActive(dlg_);
  auto numbers = [&] {
    QStringList texts;
    for (int r = 0; r < List("ListView2")->RowCount(); ++r) texts << List("ListView2")->Text(r, 0);
    return texts.join(',');
  };
  ClickHeader(1);
  EXPECT_EQ(numbers(), "3,2,1") << "the first click on No. sorts descending";
  ClickHeader(2);
  EXPECT_EQ(numbers(), "2,3,1");
  ClickHeader(2);
  EXPECT_EQ(numbers(), "1,3,2");
  ClickHeader(4);
  EXPECT_EQ(numbers(), "2,1,3") << "names without regard to case";
  EXPECT_EQ(dlg_.DetailSortKey(), 4);

  dlg_.hide();
  ShowActive(dlg_);
  EXPECT_EQ(numbers(), "1,2,3") << "a fill comes in registration order";
  EXPECT_EQ(dlg_.DetailSortKey(), 1);
}

TEST_F(CntCheckTest, HideEmptyRowsAndTheChartShowsTheRowsShown) {
  QFile::remove(UserStateFile());
  for (const char* number : {"1230", "4560", "5", "15", "115", "107", "99"})
    AppendTarget(core_.Store(), Target("n", "g", number));
  ShowActive(dlg_);
  auto* chart = dlg_.findChild<CountChart*>();
  ASSERT_NE(chart, nullptr);
  auto* hide = dlg_.findChild<QCheckBox*>("HideEmptyBox");
  ASSERT_NE(hide, nullptr);
  EXPECT_EQ(hide->text(), QStringLiteral("0本を隠す"));
  struct Case {
    int view;
    bool hidden;
    std::vector<QString> rows;  // "value|count" of the count list, the bars alike
  };
  const Case cases[] = {
      {0, false, {"0|2", "1|0", "2|0", "3|0", "4|0", "5|3", "6|0", "7|1", "8|0", "9|1"}},
      {0, true, {"0|2", "5|3", "7|1", "9|1"}},
      {1, true, {"07|1", "15|2", "30|1", "60|1", "99|1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.view * 2 + c.hidden);
    Combo()->setCurrentIndex(c.view);
    hide->setChecked(c.hidden);
    std::vector<QString> listed, charted;
    for (const QString& row : Rows("ListView1"))
      listed.push_back(row.section('|', 0, 0) + "|" + row.section('|', 1).chopped(1).trimmed());
    for (const ChartBar& bar : chart->Bars()) charted.push_back(bar.label + "|" + QString::number(bar.count));
    EXPECT_EQ(listed, c.rows);
    EXPECT_EQ(charted, c.rows);
    // Bars as tall as their counts against the largest; none for a count of 0.
    const std::vector<ChartBar>& bars = chart->Bars();
    const auto top = std::max_element(bars.begin(), bars.end(),
                                      [](const ChartBar& a, const ChartBar& b) { return a.count < b.count; });
    const int full = chart->BarRect(static_cast<int>(top - bars.begin())).height();
    ASSERT_GT(full, 0);
    for (std::size_t i = 0; i < bars.size(); ++i) {
      EXPECT_NEAR(chart->BarRect(static_cast<int>(i)).height(), full * bars[i].count / top->count, 1) << i;
    }
    // The picked row's tickets follow the value, not the position.
    EXPECT_EQ(List("ListView1")->SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(List("ListView2")->RowCount(), c.rows.front().section('|', 1).toInt());
  }
  Press(Qt::Key_Down);  // the second row shown is 15
  EXPECT_EQ(Rows("ListView2"), (std::vector<QString>{"4|15|g|n", "5|115|g|n"}));

  // Remembered for the next start.
  TCntCheckDlg next(core_, ui_);
  EXPECT_TRUE(next.findChild<QCheckBox*>("HideEmptyBox")->isChecked());
  QFile::remove(UserStateFile());
}

TEST_F(CntCheckTest, EnterAndEscClose) {
  AppendTarget(core_.Store(), Target("n", "g", "1"));
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    QTimer::singleShot(0, [&] {
      QApplication::setActiveWindow(&dlg_);
      Press(key);
    });
    EXPECT_EQ(dlg_.exec(), QDialog::Rejected);
    EXPECT_FALSE(dlg_.isVisible());
  }
}

}  // namespace
}  // namespace luckyscope
