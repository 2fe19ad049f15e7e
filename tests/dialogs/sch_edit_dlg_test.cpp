// The search-target dialog driven by keys and clicks: where it opens, browsing and
// deleting, the registration-number box, and what "登録" and "キャンセル" leave in
// the store.

#include "dialogs/sch_edit_dlg.h"

#include <QTimer>
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "tests/support/scripted_ui_services.h"

namespace luckyscope {
namespace {

using namespace testing;

class SchEditDlgTest : public ::testing::Test {
 protected:
  LotteryStore& Store() { return core_->Store(); }
  // Opened as the main window does: from the list at record n, or from the menu (0).
  void Open(int fromListAt = 0) {
    Store().SetEditPosition(fromListAt - 1);
    dlg_.hide();
    ShowActive(dlg_);
  }
  // The store's bytes once the main window has set the edit position back.
  std::vector<unsigned char> StoreBytes() {
    Store().SetEditPosition(-1);
    return Snapshot(Store());
  }
  QString Slot() { return Shown(dlg_, "Memo1"); }
  QString Name() { return Shown(dlg_, "Memo2"); }
  void Leave(const char* regNo) {
    Retype(dlg_, "Memo1", regNo);
    PressKey(Qt::Key_Tab);
  }

  QApplication& app_ = TestApplication();  // before any widget
  std::unique_ptr<DataCore> core_ = NewCore();
  ScriptedUiServices ui_;
  TSchEditDlg dlg_{*core_, ui_};
};

TEST_F(SchEditDlgTest, OpensAtTheListedRecordOrAtTheFirstFreeSlot) {
  Open();
  EXPECT_EQ(Slot(), "1");
  EXPECT_EQ(Name(), "");
  EXPECT_EQ(Focused(), Control<QPushButton>(dlg_, "CancelBtn"));
  FillTargets(Store(), 37);
  Open(37);
  EXPECT_EQ(Slot(), "37");
  EXPECT_EQ(Shown(dlg_, "Memo4"), "100037");
  Store().SetTargetCount(36);
  Open();
  EXPECT_EQ(Slot(), "37");
  EXPECT_EQ(Name(), "");
  Open(500);  // a position beyond the records starts at the free slot
  EXPECT_EQ(Slot(), "37");
}

TEST_F(SchEditDlgTest, TypedTicketsAreStoredByRegister) {
  Open();
  Retype(dlg_, "Memo2", QStringLiteral("山田　太郎"));
  Retype(dlg_, "Memo3", "12");
  Retype(dlg_, "Memo4", "345678");
  Click(dlg_, "Button2");
  Retype(dlg_, "Memo2", "   ");  // blanks are a name too
  Click(dlg_, "OKBtn");          // commits the shown record first
  EXPECT_EQ(dlg_.result(), QDialog::Accepted);
  ASSERT_EQ(Store().TargetCount(), 2);
  SearchTarget t{};
  Store().GetTarget(0, 1, t);
  EXPECT_EQ(FromCp932(t.name), QStringLiteral("山田　太郎"));
  EXPECT_STREQ(t.group, "12");
  EXPECT_STREQ(t.number, "345678");
  EXPECT_EQ(NameOf(Store(), 2), "   ");
  EXPECT_EQ(Store().TargetsChanged(), 1);
}

TEST_F(SchEditDlgTest, FullTableBounds) {
  FillTargets(Store(), kMaxTargets);
  Open();
  EXPECT_EQ(Slot(), "10000");
  EXPECT_EQ(Name(), "t10000");
  Click(dlg_, "Button2");
  EXPECT_EQ(Slot(), "10000");
  Leave("10001");
  EXPECT_EQ(Slot(), "10000");
  Retype(dlg_, "Memo2", "");  // deleting the last leaves the free slot 10000
  Click(dlg_, "Button2");
  EXPECT_EQ(Slot(), "10000");
  EXPECT_EQ(Name(), "");
  EXPECT_EQ(dlg_.WorkingCount(), kMaxTargets - 1);
}

TEST_F(SchEditDlgTest, BrowsingAndDeleting) {
  FillTargets(Store(), 5);
  Open(1);
  Click(dlg_, "Button1");
  EXPECT_EQ(Slot(), "1");  // no wrap-around
  Leave("5");
  Click(dlg_, "Button2");
  EXPECT_EQ(Slot(), "6");  // from the last record to the free slot...
  Click(dlg_, "Button2");
  EXPECT_EQ(Slot(), "6");  // ...and no further

  Leave("3");
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button2");  // record 3 deleted: the former 4 is shown in its place
  EXPECT_EQ(dlg_.WorkingCount(), 4);
  EXPECT_EQ(Slot(), "3");
  EXPECT_EQ(Name(), "t4");
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button1");  // with "<" the one before is shown
  EXPECT_EQ(Slot(), "2");
  EXPECT_STREQ(dlg_.WorkingSlot(3).name, "t5");
  Leave("3");
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button2");  // the last one: the free slot after the new last
  EXPECT_EQ(Slot(), "3");
  EXPECT_EQ(Name(), "");
  EXPECT_EQ(dlg_.WorkingCount(), 2);
  EXPECT_EQ(NameOf(Store(), 3), "t3");  // nothing reaches the store before "登録"
}

TEST_F(SchEditDlgTest, RegistrationNumberBox) {
  FillTargets(Store(), 20);
  Open();
  for (const char* typed : {"0", "-4", "abc"}) {
    Leave(typed);
    EXPECT_EQ(Slot(), "1") << typed;
  }
  Retype(dlg_, "Memo1", "12a");
  PressKey(Qt::Key_Return);  // Enter leaves it for the name box
  EXPECT_EQ(Slot(), "12");
  EXPECT_EQ(Name(), "t12");
  EXPECT_EQ(Focused(), Box(dlg_, "Memo2"));
  Retype(dlg_, "Memo1", "1234567");
  EXPECT_EQ(Slot(), "12345");  // five characters at most

  // A name typed at the free slot and abandoned by going elsewhere makes no record.
  Leave("21");
  Retype(dlg_, "Memo2", "draft");
  Leave("1");
  EXPECT_EQ(Name(), "t1");
  Leave("21");
  EXPECT_EQ(Name(), "");
  EXPECT_EQ(dlg_.WorkingCount(), 20);
}

TEST_F(SchEditDlgTest, EmptyRegistrationNumberChangesNothingAndSaysSo) {
  FillTargets(Store(), 3);
  Open(2);
  const auto before = StoreBytes();
  Retype(dlg_, "Memo2", "edited");
  Leave("");  // leaving it empty does nothing
  EXPECT_EQ(Name(), "edited");
  for (const char* button : {"Button1", "Button2", "OKBtn"}) {
    ui_.ExpectMessage(QStringLiteral("登録番号を入力してください。"), QStringLiteral("ヒットメモ"));
    Click(dlg_, button);
    EXPECT_EQ(ui_.Messages().back().icon, MessageIcon::Exclamation);
    EXPECT_TRUE(dlg_.isVisible()) << button;
    EXPECT_EQ(Focused(), Box(dlg_, "Memo1")) << button;
    EXPECT_EQ(Name(), "edited") << button;
  }
  EXPECT_STREQ(dlg_.WorkingSlot(2).name, "t2");
  EXPECT_EQ(StoreBytes(), before);
  TypeText("3");  // with a number the dialog goes on
  Click(dlg_, "OKBtn");
  EXPECT_EQ(dlg_.result(), QDialog::Accepted);
  EXPECT_EQ(ui_.UnexpectedCount(), 0);
}

TEST_F(SchEditDlgTest, RegisterWithoutChangeLeavesTheTableUnchanged) {
  FillTargets(Store(), 40);
  Open(5);
  Click(dlg_, "Button2");
  Click(dlg_, "Button1");
  Leave("41");
  Retype(dlg_, "Memo3", "12");  // a group alone at the free slot is no record
  Click(dlg_, "OKBtn");
  EXPECT_EQ(Store().TargetCount(), 40);
  EXPECT_EQ(Store().TargetsChanged(), 0);

  Open(1);  // deleting every record: the table is empty and has nothing to save
  for (int k = 0; k < 40; ++k) {
    Retype(dlg_, "Memo2", "");
    Click(dlg_, "Button2");
  }
  Click(dlg_, "OKBtn");
  EXPECT_EQ(Store().TargetCount(), 0);
  EXPECT_EQ(Store().TargetsChanged(), 0);
}

TEST_F(SchEditDlgTest, CancelEscAndEnterOnOpeningLeaveTheStoreAsItWas) {
  FillTargets(Store(), 6);
  Store().SetTargetHits(4, 1, 0x5);
  const auto before = StoreBytes();
  Open(2);
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button2");
  Retype(dlg_, "Memo2", "new name");
  Click(dlg_, "Button1");
  Click(dlg_, "CancelBtn");
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  EXPECT_EQ(StoreBytes(), before);

  Open(1);
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "Button2");
  PressKey(Qt::Key_Escape);
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  EXPECT_EQ(StoreBytes(), before);

  Open(1);
  EXPECT_EQ(dlg_.WorkingCount(), 6);  // each showing starts from the store
  PressKey(Qt::Key_Return);           // the focus is on "キャンセル"
  EXPECT_FALSE(dlg_.isVisible());
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
}

// As the main window shows it: modal, again and again.
TEST_F(SchEditDlgTest, ModalShowings) {
  FillTargets(Store(), 2);
  Store().SetEditPosition(-1);
  QTimer::singleShot(0, &dlg_, [this] {
    QApplication::setActiveWindow(&dlg_);
    EXPECT_EQ(Slot(), "3");
    Retype(dlg_, "Memo2", "third");
    Click(dlg_, "OKBtn");
    if (dlg_.isVisible()) dlg_.reject();  // never leave the test waiting
  });
  EXPECT_EQ(dlg_.exec(), QDialog::Accepted);
  EXPECT_EQ(NameOf(Store(), 3), "third");
  QTimer::singleShot(0, &dlg_, [this] {
    QApplication::setActiveWindow(&dlg_);
    EXPECT_EQ(Slot(), "4");
    PressKey(Qt::Key_Escape);
    if (dlg_.isVisible()) dlg_.accept();
  });
  EXPECT_EQ(dlg_.exec(), QDialog::Rejected);
}

// Hit results belong to tickets, not to slots: a deletion in the dialog moves them
// down with their tickets, and new tickets and freed slots have none.
TEST_F(SchEditDlgTest, HitResultsMoveWithTheirTickets) {
  FillTargets(Store(), 5);
  for (int r = 1; r <= 5; ++r) Store().SetTargetHits(r, 1, 1u << r);
  Open(3);
  Retype(dlg_, "Memo2", "");  // delete ticket 3
  Click(dlg_, "Button2");
  Retype(dlg_, "Memo2", "t4 renamed");  // the former 4, edited where it now stands
  Click(dlg_, "Button2");
  Click(dlg_, "Button2");
  Retype(dlg_, "Memo2", "brand new");  // at the free slot 5
  Click(dlg_, "OKBtn");

  const SearchTarget* held = Store().TargetSlots();
  ASSERT_EQ(Store().TargetCount(), 5);
  EXPECT_EQ(held[1].hitMask, 1u << 2);
  EXPECT_STREQ(held[2].name, "t4 renamed");
  EXPECT_EQ(held[2].hitMask, 1u << 4);
  EXPECT_EQ(held[3].hitMask, 1u << 5);
  EXPECT_STREQ(held[4].name, "brand new");
  EXPECT_EQ(held[4].hit, 0);
  EXPECT_EQ(held[4].hitMask, 0u);

  Open(1);
  Retype(dlg_, "Memo2", "");
  Click(dlg_, "OKBtn");
  EXPECT_EQ(held[0].hitMask, 1u << 2);
  EXPECT_EQ(held[4].hit, 0);  // no stale result left for a later ticket
  EXPECT_EQ(held[4].hitMask, 0u);
  EXPECT_EQ(Store().TargetsChanged(), 1);
}

}  // namespace
}  // namespace luckyscope
