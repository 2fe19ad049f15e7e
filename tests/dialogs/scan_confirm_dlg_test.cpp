// The confirmation of numbers read from postcards: what each row shows, "追加"
// appending the checked rows only (within the 10,000 limit) as they come back from the
// file, six-digit numbers, tickets already in the list, and "キャンセル" adding nothing.

#include "dialogs/scan_confirm_dlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "tests/support/scripted_ui_services.h"

namespace luckyscope {
namespace {

using namespace testing;

FoundNumber Found(int card, const char* number, bool agreed, const char* group = "") {
  FoundNumber found;
  found.card = card;
  found.number = number;
  found.agreed = agreed;
  found.group = group;
  found.crop = QImage(300, 50, QImage::Format_Grayscale8);
  found.crop.fill(200);
  return found;
}

// A sheet of four cards (one read with disagreement, one not found), a photo where
// nothing was found, and a file that could not be loaded.
std::vector<ScannedImage> Scans() {
  ScannedImage sheet{QStringLiteral("/scans/sheet.png"), {}};
  sheet.reading.cards = 4;
  sheet.reading.numbers = {Found(1, "123456", true, "A"), Found(2, "654321", false), Found(4, "111111", true)};
  ScannedImage photo{QStringLiteral("/scans/photo.jpg"), {}};
  ScannedImage broken{QStringLiteral("/scans/broken.png"), {}};
  broken.reading.error = QStringLiteral("画像を読み込めません: broken.png");
  return {sheet, photo, broken};
}

class ScanConfirmDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillTargets(core_->Store(), 2);
    dlg_.SetScans(Scans());
    ShowActive(dlg_);
  }
  void ClickTake(int row) { QTest::mouseClick(dlg_.Rows()[static_cast<std::size_t>(row - 1)].take, Qt::LeftButton); }

  QApplication& app_ = TestApplication();  // before any widget
  std::unique_ptr<DataCore> core_ = NewCore();
  ScriptedUiServices ui_;
  TScanConfirmDlg dlg_{*core_, ui_};
};

TEST_F(ScanConfirmDlgTest, ShowsOneRowPerNumberAndPerCardLeftToType) {
  struct Expected {
    bool taken;
    const char* number;
    const char* group;
    const char* name;
    const char* note;  // the start of the note; empty: no note
  } const expected[] = {
      {true, "123456", "A", "sheet.png 1枚目", ""},
      {false, "654321", "", "sheet.png 2枚目", "2回の読み取りが違います"},
      {false, "", "", "sheet.png 3枚目", "番号が見つかりません"},
      {true, "111111", "", "sheet.png 4枚目", ""},
      {false, "", "", "photo.jpg", "番号が見つかりません"},
      {false, "", "", "broken.png", "画像を読み込めません"},
  };
  ASSERT_EQ(dlg_.Rows().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& row = dlg_.Rows()[i];
    const auto& want = expected[i];
    EXPECT_EQ(row.take->isChecked(), want.taken) << i;
    EXPECT_EQ(row.number->text(), QString::fromUtf8(want.number)) << i;
    EXPECT_EQ(row.group->text(), QString::fromUtf8(want.group)) << i;
    EXPECT_EQ(row.name->text(), QString::fromUtf8(want.name)) << i;
    const QString note = row.note->text();
    EXPECT_TRUE(want.note[0] == '\0' ? note.isEmpty() : note.startsWith(QString::fromUtf8(want.note)))
        << i << note.toStdString();
    EXPECT_EQ(row.crop->pixmap().isNull(), want.number[0] == '\0') << i;
  }
}

TEST_F(ScanConfirmDlgTest, AddAppendsTheCheckedRowsOnlyAsTheyWereEdited) {
  Retype(dlg_, "Number3", QStringLiteral("777777"));  // typing a number takes the row
  Retype(dlg_, "Name1", QStringLiteral("田中さん"));
  ClickTake(4);  // not this one
  Click(dlg_, "AddBtn");
  EXPECT_EQ(dlg_.result(), QDialog::Accepted);
  EXPECT_EQ(dlg_.Added(), 2);
  const LotteryStore& store = core_->Store();
  ASSERT_EQ(store.TargetCount(), 4);
  EXPECT_EQ(store.TargetsChanged(), 1);
  EXPECT_EQ(NameOf(store, 2), "t2");  // what was there stays
  SearchTarget t{};
  ASSERT_EQ(store.GetTarget(0, 3, t), 0);
  EXPECT_EQ(FromCp932(t.name), QStringLiteral("田中さん"));
  EXPECT_STREQ(t.group, "A");
  EXPECT_STREQ(t.number, "123456");
  ASSERT_EQ(store.GetTarget(0, 4, t), 0);
  EXPECT_EQ(FromCp932(t.name), QStringLiteral("sheet.png 3枚目"));
  EXPECT_STREQ(t.group, "");
  EXPECT_STREQ(t.number, "777777");
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(ScanConfirmDlgTest, CancelAddsNothing) {
  for (int row = 1; row <= 6; ++row) {
    if (!dlg_.Rows()[static_cast<std::size_t>(row - 1)].take->isChecked()) ClickTake(row);
  }
  const auto before = Snapshot(core_->Store());
  Click(dlg_, "CancelBtn");
  EXPECT_EQ(dlg_.result(), QDialog::Rejected);
  EXPECT_EQ(Snapshot(core_->Store()), before);
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(ScanConfirmDlgTest, AddStopsAtTheLimitAndSaysHowManyDidNotFit) {
  FillTargets(core_->Store(), kMaxTargets - 1);
  ClickTake(2);  // three rows checked, room for one
  ui_.ExpectMessage(QStringLiteral("検索対象は 10000 件までです。2 件は追加できませんでした。")).Answer(kAnswerOk);
  Click(dlg_, "AddBtn");
  EXPECT_EQ(dlg_.Added(), 1);
  EXPECT_EQ(dlg_.NotFitted(), 2);
  EXPECT_EQ(core_->Store().TargetCount(), kMaxTargets);
  SearchTarget t{};
  ASSERT_EQ(core_->Store().GetTarget(0, kMaxTargets, t), 0);
  EXPECT_STREQ(t.number, "123456");
  EXPECT_EQ(ui_.PendingSteps(), 0u);
}

// What enters the list comes back from its file byte for byte: quotes and line ends (a
// file name may hold them) go, full-width digits typed in become half-width.
TEST(ScanConfirmIntake, WhatIsAppendedComesBackFromItsFileAsItWas) {
  QApplication& app = TestApplication();
  (void)app;
  struct Case {
    const char *path, *typedNumber, *typedGroup;  // typed over the reading unless empty
    const char *name, *group, *number;            // in the list, and after save and open
  } const cases[] = {
      {"/s/a\"b.png", "", "", "ab.png", "A", "123456"},
      {"/s/line\nend\r.png", "", "", "line end .png", "A", "123456"},
      {"/s/wide.png", "７２３３１９", "１２", "wide.png", "12", "723319"},
      {"/s/q.png", "12\"3456", "\"B", "q.png", "B", "123456"},
  };
  QTemporaryDir dir;
  const std::string file = dir.filePath(QStringLiteral("t.dat")).toStdString();
  for (const Case& c : cases) {
    std::unique_ptr<DataCore> core = NewCore(), reopened = NewCore();
    ScriptedUiServices ui;
    TScanConfirmDlg dlg(*core, ui);
    ScannedImage scan{QString::fromUtf8(c.path), {}};
    scan.reading.numbers = {Found(1, "123456", true, "A")};
    dlg.SetScans({scan});
    ShowActive(dlg);
    if (c.typedNumber[0] != '\0') Retype(dlg, "Number1", QString::fromUtf8(c.typedNumber));
    if (c.typedGroup[0] != '\0') Retype(dlg, "Group1", QString::fromUtf8(c.typedGroup));
    Click(dlg, "AddBtn");
    ASSERT_EQ(core->WriteTargetFile(file.c_str()), 0);
    ASSERT_EQ(reopened->ReadTargetFile(file.c_str()), 0);
    for (const DataCore* in : {core.get(), reopened.get()}) {
      SearchTarget t{};
      ASSERT_EQ(in->Store().GetTarget(0, 1, t), 0) << c.path;
      EXPECT_EQ(FromCp932(t.name), QString::fromUtf8(c.name)) << c.path;
      EXPECT_STREQ(t.group, c.group) << c.path;
      EXPECT_STREQ(t.number, c.number) << c.path;
    }
  }
}

// A number is six digits: the row says so until it is and "追加" (Enter) does not close
// over it; a number typed in replaces the reading's note. Each control names its row.
TEST_F(ScanConfirmDlgTest, NumbersMustBeSixDigitsBeforeAnythingIsAdded) {
  struct Case {
    const char* typed;
    bool accepted;
  } const cases[] = {{"86945", false}, {"86945O", false}, {"８６９４５０", true}, {"869450", true}};
  for (const Case& c : cases) {
    std::unique_ptr<DataCore> core = NewCore();
    TScanConfirmDlg dlg(*core, ui_);
    dlg.SetScans(Scans());
    ShowActive(dlg);
    Retype(dlg, "Number3", QString::fromUtf8(c.typed));
    EXPECT_EQ(dlg.Rows()[2].note->text(),
              c.accepted ? QString() : QStringLiteral("番号は6桁の数字で入力してください。"));
    if (!c.accepted)
      ui_.ExpectMessage(QStringLiteral("番号が6桁の数字でない行があります。直すか、チェックを外してください。"));
    QTest::keyClick(Box(dlg, "Number3"), Qt::Key_Return);
    EXPECT_EQ(core->Store().TargetCount(), c.accepted ? 3 : 0) << c.typed;
    EXPECT_EQ(dlg.isVisible(), !c.accepted) << c.typed;
  }
  QStringList names;
  for (const auto& row : dlg_.Rows()) {
    names << row.take->accessibleName() << row.number->accessibleName() << row.group->accessibleName()
          << row.name->accessibleName();
  }
  EXPECT_EQ(names.removeDuplicates(), 0);
  EXPECT_FALSE(names.contains(QString()));
}

// Tickets already in the list (t1 1/100001, t2 2/100002), or read twice, are counted,
// marked and left unchecked; checked again they are kept; one typed in is asked about.
TEST_F(ScanConfirmDlgTest, TicketsAlreadyInTheListAreCountedAndSkippedUnlessKept) {
  struct Case {
    const char *number, *group;
    bool duplicate;
  } const read[] = {{"100001", "1", true},
                    {"100002", "", true},  // no group read: the same card
                    {"100001", "9", false},
                    {"200000", "", false},
                    {"200000", "", true}};
  std::vector<ScannedImage> scans;
  for (const Case& c : read) {
    scans.push_back({QStringLiteral("/s/%1.png").arg(scans.size()), {}});
    scans.back().reading.numbers = {Found(1, c.number, true, c.group)};
  }
  dlg_.SetScans(scans);
  ShowActive(dlg_);
  EXPECT_TRUE(dlg_.findChild<QLabel*>(QStringLiteral("Summary"))->text().contains(QStringLiteral("3 件はすでに")));
  for (std::size_t i = 0; i < std::size(read); ++i) {
    EXPECT_EQ(dlg_.Rows()[i].take->isChecked(), !read[i].duplicate) << i;
    EXPECT_EQ(dlg_.Rows()[i].note->text().contains(QStringLiteral("すでに検索対象にあります")), read[i].duplicate) << i;
  }
  ClickTake(2);                                       // kept on purpose
  Retype(dlg_, "Number4", QStringLiteral("100002"));  // typed over: in the list too
  ui_.ExpectMessage(QStringLiteral("1 件はすでに検索対象にあります。それも追加しますか？")).Answer(kAnswerNo);
  Click(dlg_, "AddBtn");
  EXPECT_EQ(ui_.Messages().back().defaultNo, true);
  EXPECT_EQ(NameOf(core_->Store(), 3), "1.png");  // row 2, kept
  SearchTarget t{};
  ASSERT_EQ(core_->Store().TargetCount(), 4);
  ASSERT_EQ(core_->Store().GetTarget(0, 4, t), 0);
  EXPECT_STREQ(t.number, "100001");
  EXPECT_STREQ(t.group, "9");
}

}  // namespace
}  // namespace luckyscope
