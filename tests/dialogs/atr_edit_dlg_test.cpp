// The winning-number dialog driven by keys and clicks: pairs in and out of the list,
// the pair limit, browsing and deleting entries, and what "登録" and "キャンセル"
// leave in the store.

#include "dialogs/atr_edit_dlg.h"

#include <QPushButton>
#include <QStatusBar>
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "tests/support/scripted_ui_services.h"
#include "ui/report_list.h"

namespace luckyscope {
namespace {

using namespace testing;

class AtrEditDlgTest : public ::testing::Test {
 protected:
  LotteryStore& Store() { return core_->Store(); }
  void Open() {
    dlg_.hide();
    ShowActive(dlg_);
  }
  // Entries 1..count titled "p<k>" with k pairs ("<k>", "<j>00"), as after loading.
  void FillEntries(int count) {
    for (int k = 1; k <= count; ++k) {
      WinningEntry e = Entry("p" + std::to_string(k), {});
      for (e.pairCount = 0; e.pairCount < std::min(k, kMaxPairs); ++e.pairCount) {
        SetField(e.pairs[e.pairCount].group, std::to_string(k));
        SetField(e.pairs[e.pairCount].number, std::to_string(e.pairCount) + "00");
      }
      Store().PutWinningEntry(k, e);
    }
    Store().SetWinningCount(count);
    Store().SetWinningChanged(0);
  }
  ReportList* List() { return Control<ReportList>(dlg_, "ListView1"); }
  QStringList Pairs() {
    QStringList rows;
    for (int r = 0; r < List()->RowCount(); ++r) rows << List()->Text(r, 0) + "/" + List()->Text(r, 1);
    return rows;
  }
  void AddPair(const QString& group, const QString& number) {
    Retype(dlg_, "Memo3", group);
    Retype(dlg_, "Memo4", number);
    Click(dlg_, "Button3");
  }
  void Leave(const char* regNo) {
    Retype(dlg_, "Memo1", regNo);
    PressKey(Qt::Key_Tab);
  }
  QString Shown_(const char* name) { return Shown(dlg_, name); }

  QApplication& app_ = TestApplication();  // before any widget
  std::unique_ptr<DataCore> core_ = NewCore();
  ScriptedUiServices ui_;
  TAtrEditDlg dlg_{*core_, ui_};
};

TEST_F(AtrEditDlgTest, FirstEntryWithTrimmedIncompleteAndDuplicatePairs) {
  Open();
  EXPECT_EQ(Shown_("Memo1"), "1");
  EXPECT_EQ(Focused(), Control<QPushButton>(dlg_, "CancelBtn"));
  Retype(dlg_, "Memo2", QStringLiteral("１等"));
  AddPair(" 12 ", "\t123456 ");  // trimmed
  AddPair("1", "");              // incomplete: nothing, boxes emptied
  AddPair("", "2");
  EXPECT_EQ(Shown_("Memo3"), "");
  AddPair("12", "123456 ");  // the same pair once trimmed: refused silently
  AddPair("  ", "*5");       // blanks pass the emptiness test, trim to nothing
  EXPECT_EQ(Pairs(), (QStringList{"12/123456", "/*5"}));
  EXPECT_TRUE(ui_.Messages().empty());
  Click(dlg_, "OKBtn");
  ASSERT_EQ(Store().WinningCount(), 1);
  WinningEntry e{};
  Store().GetWinningEntry(1, e);
  EXPECT_EQ(FromCp932(e.title), QStringLiteral("１等"));
  ASSERT_EQ(e.pairCount, 2);
  EXPECT_STREQ(e.pairs[0].number, "123456");
  EXPECT_STREQ(e.pairs[1].group, "");
}

TEST_F(AtrEditDlgTest, FullTableAndThirtyThirdPair) {
  FillEntries(32);
  Open();
  EXPECT_EQ(Shown_("Memo1"), "32");
  EXPECT_EQ(List()->RowCount(), 32);
  ui_.ExpectMessage(QStringLiteral("これ以上、組番号登録はできません。"), QStringLiteral("ヒットメモ"));
  AddPair("99", "999");
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(Shown_("Memo3"), "");
  EXPECT_EQ(Shown_("Memo4"), "");
  EXPECT_EQ(dlg_.WorkingEntry(32).pairCount, 32);
  Click(dlg_, "Button2");
  EXPECT_EQ(Shown_("Memo1"), "32");
  Leave("99");
  EXPECT_EQ(Shown_("Memo1"), "32");
  Retype(dlg_, "Memo1", "333");
  EXPECT_EQ(Shown_("Memo1"), "33");  // two characters at most
}

TEST_F(AtrEditDlgTest, PairsTakenOutOfTheList) {
  FillEntries(3);
  Open();
  Leave("3");
  List()->SelectAndFocusRow(1);
  List()->setFocus(Qt::MouseFocusReason);
  PressKey(Qt::Key_Return);  // Enter in the list takes the pair out
  EXPECT_EQ(Pairs(), (QStringList{"3/000", "3/200"}));
  EXPECT_EQ(Shown_("Memo3"), "3");
  EXPECT_EQ(Shown_("Memo4"), "100");
  EXPECT_EQ(Focused(), Box(dlg_, "Memo3"));
  // Taken out and left as it was, the pair stays out whichever step moves on; changed
  // in the boxes, it is the user's new pair and is added.
  const struct {
    const char* step;
    bool addedBack;      // "組番号登録" added it again first, then the first pair was taken out
    const char* number;  // typed over the taken-out number; null: left as it was
    QStringList pairs;   // of entry 3 afterwards
  } cases[] = {
      {"Button1", false, nullptr, {"3/000", "3/200"}},
      {"Button2", true, nullptr, {"3/200", "3/100"}},
      {"OKBtn", false, nullptr, {"3/000", "3/200"}},
      {"Button1", false, "777", {"3/000", "3/200", "3/777"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    FillEntries(3);
    Open();
    Leave("3");
    List()->SelectAndFocusRow(1);
    dlg_.ListView1DblClick();
    if (c.addedBack) {
      Click(dlg_, "Button3");  // at the end, and no longer taken out
      List()->SelectAndFocusRow(0);
      dlg_.ListView1DblClick();
    }
    if (c.number != nullptr) Retype(dlg_, "Memo4", c.number);
    Click(dlg_, c.step);
    QStringList stored;
    const WinningEntry& e = dlg_.WorkingEntry(3);
    for (int k = 0; k < e.pairCount; ++k) stored << QString("%1/%2").arg(e.pairs[k].group, e.pairs[k].number);
    EXPECT_EQ(stored, c.pairs);
  }

  Open();
  Leave("3");
  List()->ClearSelection();
  List()->setFocus(Qt::MouseFocusReason);
  PressKey(Qt::Key_Return);  // no row selected: only the focus moves
  EXPECT_EQ(Focused(), Box(dlg_, "Memo3"));
  EXPECT_EQ(List()->RowCount(), 3);
}

// Group, Enter, number, Enter, Enter adds a pair and leaves the focus on "組番号登録";
// what is typed next starts the next pair in the group box.
TEST_F(AtrEditDlgTest, TypingAfterAPairWasAddedStartsTheNextPair) {
  Open();
  Box(dlg_, "Memo3")->setFocus(Qt::OtherFocusReason);
  for (const char* pair : {"1", "111", "2", "222"}) {
    TypeText(QString::fromLatin1(pair));
    PressKey(Qt::Key_Return);
    if (Focused() == Control<QPushButton>(dlg_, "Button3")) PressKey(Qt::Key_Return);
  }
  EXPECT_EQ(Focused(), Control<QPushButton>(dlg_, "Button3"));
  EXPECT_EQ(Pairs(), (QStringList{"1/111", "2/222"}));
  TypeText(QStringLiteral("3"));
  EXPECT_EQ(Focused(), Box(dlg_, "Memo3"));
  EXPECT_EQ(Shown_("Memo3"), "3");
}

// A pair typed into the boxes and never added with "組番号登録" is added by whichever
// step commits the entry, as that button would add it; half a pair is dropped with a
// note in the status bar.
TEST_F(AtrEditDlgTest, ATypedPairIsAddedBeforeTheEntryIsCommitted) {
  FillEntries(2);
  struct Step {
    const char* button;
    const char* group;
    const char* number;
    QStringList pairs;  // of entry 2 afterwards
    bool note;
  };
  const Step steps[] = {
      {"Button1", " 5 ", " 55 ", {"2/000", "2/100", "5/55"}, false},  // trimmed
      {"Button2", "5", "55", {"2/000", "2/100", "5/55"}, false},      // listed already
      {"Button1", "6", "", {"2/000", "2/100", "5/55"}, true},         // half a pair
      {"Button2", "", "66", {"2/000", "2/100", "5/55"}, true},
      {"Button1", "*", "*7", {"2/000", "2/100", "5/55", "*/*7"}, false},
      {"OKBtn", "8", "88", {"2/000", "2/100", "5/55", "*/*7", "8/88"}, false},
  };
  Open();
  auto* status = Control<QStatusBar>(dlg_, "StatusBar");
  for (const Step& step : steps) {
    Leave("2");
    Retype(dlg_, "Memo3", step.group);
    Retype(dlg_, "Memo4", step.number);
    Click(dlg_, step.button);
    EXPECT_EQ(status->currentMessage().isEmpty(), !step.note) << step.button << " " << step.group;
    QStringList stored;
    const WinningEntry& e = dlg_.WorkingEntry(2);
    for (int k = 0; k < e.pairCount; ++k) stored << QString("%1/%2").arg(e.pairs[k].group, e.pairs[k].number);
    EXPECT_EQ(stored, step.pairs) << step.button << " " << step.group;
  }
  EXPECT_FALSE(dlg_.isVisible());
  EXPECT_EQ(Store().WinningSlots()[1].pairCount, 5);

  // The 33rd pair is refused as "組番号登録" refuses it, and the step goes on.
  FillEntries(32);
  Open();
  ui_.ExpectMessage(QStringLiteral("これ以上、組番号登録はできません。"), QStringLiteral("ヒットメモ"));
  Retype(dlg_, "Memo3", "9");
  Retype(dlg_, "Memo4", "99");
  Click(dlg_, "Button1");
  EXPECT_EQ(Shown_("Memo1"), "31");
  EXPECT_EQ(dlg_.WorkingEntry(32).pairCount, 32);
}

TEST_F(AtrEditDlgTest, DeletingEntryTwoOfFour) {
  FillEntries(4);
  Open();
  Leave("2");
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button2");
  EXPECT_EQ(dlg_.WorkingCount(), 3);
  EXPECT_EQ(Shown_("Memo1"), "2");
  EXPECT_EQ(Shown_("Memo2"), "p3");
  EXPECT_EQ(List()->RowCount(), 3);
  Click(dlg_, "OKBtn");
  ASSERT_EQ(Store().WinningCount(), 3);
  EXPECT_STREQ(Store().WinningSlots()[2].title, "p4");
  EXPECT_EQ(Store().WinningSlots()[2].pairCount, 4);
  EXPECT_STREQ(Store().WinningSlots()[3].title, "");
  EXPECT_EQ(Store().WinningSlots()[3].pairCount, 0);
}

TEST_F(AtrEditDlgTest, RegisterWithoutChangeAndCancelLeaveTheStoreAsItWas) {
  FillEntries(5);
  const auto before = Snapshot(Store());
  Open();
  AddPair("7", "777");  // pairs at the free entry without a title make no entry
  Click(dlg_, "Button1");
  Click(dlg_, "Button2");
  EXPECT_EQ(Pairs(), QStringList{"7/777"});  // though they stay listed meanwhile
  Click(dlg_, "OKBtn");
  EXPECT_EQ(Store().WinningChanged(), 0);
  EXPECT_EQ(Snapshot(Store()), before);

  Open();
  Leave("1");
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button2");
  AddPair("1", "1");
  Retype(dlg_, "Memo2", "renamed");
  Click(dlg_, "Button2");
  Click(dlg_, "CancelBtn");
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  Open();
  AddPair("1", "1");
  PressKey(Qt::Key_Escape);
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  EXPECT_EQ(Snapshot(Store()), before);
}

TEST_F(AtrEditDlgTest, EmptyRegistrationNumberChangesNothingAndSaysSo) {
  FillEntries(2);
  Open();
  Leave("2");
  Leave("");
  Retype(dlg_, "Memo3", "5");
  Retype(dlg_, "Memo4", "55");
  for (const char* button : {"Button3", "Button1", "Button2", "OKBtn"}) {
    ui_.ExpectMessage(QStringLiteral("登録番号を入力してください。"), QStringLiteral("ヒットメモ"));
    Click(dlg_, button);
    EXPECT_TRUE(dlg_.isVisible()) << button;
  }
  List()->SelectAndFocusRow(0);
  ui_.ExpectMessage(QStringLiteral("登録番号を入力してください。"), QStringLiteral("ヒットメモ"));
  dlg_.ListView1DblClick();
  EXPECT_EQ(List()->RowCount(), 2);
  EXPECT_EQ(Shown_("Memo3"), "5");  // the typed pair stays in the boxes
  EXPECT_EQ(dlg_.WorkingEntry(2).pairCount, 2);
  EXPECT_EQ(dlg_.WorkingCount(), 2);
  EXPECT_EQ(ui_.UnexpectedCount(), 0);
}

// A ticket's hit mask names winning entries by number: when entries move down, the
// bits move with them, and a deleted entry's bit goes.
TEST_F(AtrEditDlgTest, HitBitsFollowTheirEntries) {
  Store().PutWinningEntry(1, Entry(ToCp932(QStringLiteral("1等")), {{"*", "111111"}}));
  Store().PutWinningEntry(2, Entry(ToCp932(QStringLiteral("2等")), {{"*", "*22"}}));
  Store().PutWinningEntry(3, Entry(ToCp932(QStringLiteral("3等")), {{"*", "*3"}}));
  Store().SetWinningCount(3);
  for (const char* number : {"111111", "000022", "000003"}) {
    Store().PutTarget(Store().TargetCount() + 1, Target("t", "1", number));
    Store().SetTargetCount(Store().TargetCount() + 1);
  }
  Store().SetTargetsChanged(0);
  core_->RunSearch();
  ASSERT_EQ(Store().TargetSlots()[1].hitMask, 0b010u);

  Open();
  Leave("1");
  Retype(dlg_, "Memo2", "");  // delete "1等"
  Click(dlg_, "OKBtn");
  ASSERT_EQ(Store().WinningCount(), 2);

  const SearchTarget* t = Store().TargetSlots();
  EXPECT_EQ(t[0].hit, 0);
  EXPECT_EQ(t[0].hitMask, 0u);
  EXPECT_EQ(t[1].hitMask, 0b01u);
  EXPECT_EQ(t[2].hitMask, 0b10u);
  char text[kTextSize];
  core_->HitText(1, 0, text);
  EXPECT_EQ(FromCp932(text), QStringLiteral("2等"));
  EXPECT_EQ(Store().TargetsChanged(), 0);  // hit results are not unsaved data
}

TEST_F(AtrEditDlgTest, TemplateAddsTheMissingPrizeClassesAndLeavesDataAlone) {
  struct Case {
    std::vector<const char*> stored;  // titles in the store, each with one pair
    const char* typedTitle;           // typed at the free entry before the click
    QStringList titles;               // the working copy afterwards
    int shown;
  };
  const Case cases[] = {
      {{}, "", {"1等", "2等", "3等"}, 1},
      {{"特賞", "2等"}, "前後賞", {"特賞", "2等", "前後賞", "1等", "3等"}, 4},
      {{"3等", "1等", "2等"}, "", {"3等", "1等", "2等"}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    Store().ClearWinningEntries();
    for (const char* title : c.stored) AppendEntry(Store(), Entry(ToCp932(QString::fromUtf8(title)), {{"01", "1"}}));
    Open();
    if (c.typedTitle[0] != '\0') Retype(dlg_, "Memo2", QString::fromUtf8(c.typedTitle));
    Click(dlg_, "TemplateBtn");
    QStringList titles;
    for (int k = 1; k <= dlg_.WorkingCount(); ++k) titles << FromCp932(dlg_.WorkingEntry(k).title);
    EXPECT_EQ(titles, c.titles);
    for (int k = 1; k <= static_cast<int>(c.stored.size()); ++k) EXPECT_EQ(dlg_.WorkingEntry(k).pairCount, 1);
    EXPECT_EQ(Shown_("Memo1"), QString::number(c.shown));
    EXPECT_EQ(Shown_("Memo3"), "*");
    EXPECT_EQ(Focused(), Box(dlg_, "Memo4"));
  }
  Retype(dlg_, "Memo4", "123456");  // ready for the numbers
  Click(dlg_, "Button3");
  EXPECT_EQ(Pairs(), QStringList{"*/123456"});
}

}  // namespace
}  // namespace luckyscope
