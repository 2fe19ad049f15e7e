// A new user's first session with the keyboard alone: twenty tickets typed in the
// search-target dialog's Enter flow, three winning entries in the winning-number
// dialog's, then the search finds the right tickets.

#include <map>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "dialogs/atr_edit_dlg.h"
#include "dialogs/sch_edit_dlg.h"
#include "tests/support/scripted_ui_services.h"

namespace luckyscope {
namespace {

using namespace testing;

constexpr int kTickets = 20;

QString TicketGroup(int i) { return QString::number(10 + i % 3); }
QString TicketNumber(int i) { return QString::number(100000 + i * 7); }

struct WinningInput {
  QString title;
  std::vector<std::pair<QString, QString>> pairs;
};

class KeyboardEntryTest : public ::testing::Test {
 protected:
  static void ExpectFocus(const char* name) {
    QWidget* focused = Focused();
    EXPECT_EQ(focused ? focused->objectName() : QString("<none>"), QString::fromLatin1(name));
  }

  void TypeTickets(TSchEditDlg& dlg) {
    ShowActive(dlg);
    ExpectFocus("CancelBtn");
    PressKey(Qt::Key_Tab);
    ExpectFocus("Memo1");
    PressKey(Qt::Key_Return);
    for (int i = 1; i <= kTickets; ++i) {
      ExpectFocus("Memo2");
      EXPECT_EQ(Shown(dlg, "Memo1"), QString::number(i));
      TypeText(QStringLiteral("年賀はがき%1").arg(i));
      PressKey(Qt::Key_Return);
      TypeText(TicketGroup(i));
      PressKey(Qt::Key_Return);
      TypeText(TicketNumber(i));
      PressKey(Qt::Key_Return);
      ExpectFocus("Button2");
      PressKey(Qt::Key_Return);  // ">" adds the ticket and shows the next free slot
      ExpectFocus("Button2");
      PressKey(Qt::Key_Tab);
    }
    EXPECT_EQ(Shown(dlg, "Memo1"), QString::number(kTickets + 1));
    PressKey(Qt::Key_Tab);
    PressKey(Qt::Key_Tab);
    PressKey(Qt::Key_Tab);
    ExpectFocus("OKBtn");
    PressKey(Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }

  // One entry per showing: the title, then each pair as group, Enter, number, Enter,
  // Enter; back to the group box with Shift+Tab; "登録" in the end.
  void TypeEntry(TAtrEditDlg& dlg, const WinningInput& input, int expectedNumber) {
    ShowActive(dlg);
    ExpectFocus("CancelBtn");
    PressKey(Qt::Key_Tab);
    PressKey(Qt::Key_Tab);
    ExpectFocus("Memo1");
    PressKey(Qt::Key_Return);
    EXPECT_EQ(Shown(dlg, "Memo1"), QString::number(expectedNumber));
    ExpectFocus("Memo2");
    TypeText(input.title);
    PressKey(Qt::Key_Return);
    bool first = true;
    for (const auto& [group, number] : input.pairs) {
      if (!first) {
        for (int k = 0; k < 5; ++k) PressKey(Qt::Key_Backtab, Qt::ShiftModifier);
      }
      first = false;
      ExpectFocus("Memo3");
      TypeText(group);
      PressKey(Qt::Key_Return);
      TypeText(number);
      PressKey(Qt::Key_Return);
      ExpectFocus("Button3");
      PressKey(Qt::Key_Return);  // "組番号登録"
      ExpectFocus("Button3");
    }
    PressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    PressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    ExpectFocus("OKBtn");
    PressKey(Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }

  QApplication& app_ = TestApplication();  // before any widget
  std::unique_ptr<DataCore> core_ = NewCore();
  ScriptedUiServices ui_;
};

TEST_F(KeyboardEntryTest, TwentyTicketsAndThreeEntriesThenSearch) {
  TSchEditDlg targets(*core_, ui_);
  TAtrEditDlg winning(*core_, ui_);
  core_->Store().SetEditPosition(-1);

  TypeTickets(targets);
  LotteryStore& store = core_->Store();
  ASSERT_EQ(store.TargetCount(), kTickets);
  SearchTarget last{};
  store.GetTarget(0, kTickets, last);
  EXPECT_EQ(FromCp932(last.name), QStringLiteral("年賀はがき%1").arg(kTickets));

  const std::vector<WinningInput> entries = {
      {QStringLiteral("１等"), {{"12", "100035"}}},
      {QStringLiteral("２等"), {{"*", "*77"}, {"10", "*42"}}},
      {QStringLiteral("３等"), {{"*", "*1"}, {"11", "100133"}, {"12", "*140"}}},
  };
  for (std::size_t k = 0; k < entries.size(); ++k) {
    TypeEntry(winning, entries[k], static_cast<int>(k) + 1);
  }
  ASSERT_EQ(store.WinningCount(), 3);

  core_->RunSearch();
  // Ticket i is number 100000+7i in group 10+i%3: 100035/12 is ticket 5, *77 ticket 11,
  // *42 in group 10 ticket 6, *1 tickets 3 and 13, 100133/11 ticket 19, *140/12 ticket 20.
  const std::map<int, QString> expected = {{3, QStringLiteral("３等")},  {5, QStringLiteral("１等")},
                                           {6, QStringLiteral("２等")},  {11, QStringLiteral("２等")},
                                           {13, QStringLiteral("３等")}, {19, QStringLiteral("３等")},
                                           {20, QStringLiteral("３等")}};
  for (int i = 1; i <= kTickets; ++i) {
    SearchTarget t{};
    store.GetTarget(1, i, t);
    char text[kTextSize];
    core_->HitText(i - 1, 0, text);
    const auto hit = expected.find(i);
    EXPECT_EQ(t.hit, hit != expected.end() ? 1 : 0) << "ticket " << i;
    EXPECT_EQ(FromCp932(text), hit != expected.end() ? hit->second : QString()) << "ticket " << i;
  }
  EXPECT_TRUE(ui_.Messages().empty());
}

}  // namespace
}  // namespace luckyscope
