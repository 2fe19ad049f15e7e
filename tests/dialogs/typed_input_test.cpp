// What the user types into the editing dialogs is neither lost nor able to break the
// data files: the separators of the files are refused where they would cut a text,
// and leaving the registration-number box without moving keeps the typing.

#include <QClipboard>
#include <QTemporaryDir>
#include <QToolTip>
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "dialogs/atr_edit_dlg.h"
#include "dialogs/sch_edit_dlg.h"
#include "tests/support/scripted_ui_services.h"

namespace luckyscope {
namespace {

using namespace testing;

// Pastes text into a box as a user would: Ctrl+V over the whole text.
void Paste(QDialog& dialog, const char* name, const QString& text) {
  ByteLineEdit* box = Box(dialog, name);
  box->setFocus(Qt::MouseFocusReason);
  box->selectAll();
  QGuiApplication::clipboard()->setText(text);
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

TEST(TypedInputTest, FileSeparatorsCannotBeTypedOrPastedSoTheFilesLoadBackAsTyped) {
  TestApplication();
  QTemporaryDir dir;
  std::unique_ptr<DataCore> core = NewCore();
  ScriptedUiServices ui;
  TAtrEditDlg atr(*core, ui);
  TSchEditDlg sch(*core, ui);
  struct Input {
    QDialog* dialog;
    const char* box;
    QString typed;  // key by key
    QString pasted;
    QString shown;
  };
  // A comma splits the winning-number file's fields; a double quote closes the
  // search-target file's. Each is refused only where it would do that.
  const Input inputs[] = {
      {&atr, "Memo2", QStringLiteral("1,等"), QString(), QStringLiteral("1等")},
      {&atr, "Memo3", QString(), QStringLiteral(",1,2,"), QStringLiteral("12")},
      {&atr, "Memo4", QStringLiteral("12,34"), QString(), QStringLiteral("1234")},
      {&sch, "Memo2", QStringLiteral("山田\"花子\""), QString(), QStringLiteral("山田花子")},
      {&sch, "Memo2", QString(), QStringLiteral("\"山田,花子\""), QStringLiteral("山田,花子")},
      {&sch, "Memo3", QStringLiteral("0\"1"), QString(), QStringLiteral("01")},
      {&sch, "Memo4", QString(), QStringLiteral("12\"34,56"), QStringLiteral("1234,56")},
  };
  QDialog* shown = nullptr;
  for (const Input& in : inputs) {
    if (shown != in.dialog) {
      if (shown != nullptr) Click(*shown, "OKBtn");
      shown = in.dialog;
      ShowActive(*shown);
    }
    QToolTip::hideText();
    if (in.typed.isEmpty()) {
      Paste(*shown, in.box, in.pasted);
    } else {
      Retype(*shown, in.box, in.typed);
    }
    EXPECT_EQ(Shown(*shown, in.box), in.shown) << in.box << " " << in.typed.toStdString() << in.pasted.toStdString();
    const bool refused = (in.typed + in.pasted).size() != in.shown.size();
    EXPECT_EQ(QToolTip::text().contains(QStringLiteral("入力できません")), refused) << "a refusal says why: " << in.box;
    if (in.dialog == &atr && std::string(in.box) == "Memo4") Click(atr, "Button3");
  }
  Click(*shown, "OKBtn");

  const std::string ban = dir.filePath("w.ban").toStdString();
  const std::string dat = dir.filePath("t.dat").toStdString();
  ASSERT_EQ(core->WriteWinningFile(ban.c_str()), 0);
  ASSERT_EQ(core->WriteTargetFile(dat.c_str()), 0);
  core->ResetAll();
  core->ReadWinningFile(ban.c_str());
  core->ReadTargetFile(dat.c_str());
  ASSERT_EQ(core->Store().WinningCount(), 1);
  WinningEntry e{};
  core->Store().GetWinningEntry(1, e);
  EXPECT_EQ(FromCp932(e.title), QStringLiteral("1等"));
  ASSERT_EQ(e.pairCount, 1);
  EXPECT_STREQ(e.pairs[0].group, "12");
  EXPECT_STREQ(e.pairs[0].number, "1234");
  ASSERT_EQ(core->Store().TargetCount(), 1);
  SearchTarget t{};
  core->Store().GetTarget(0, 1, t);
  EXPECT_EQ(FromCp932(t.name), QStringLiteral("山田,花子"));
  EXPECT_STREQ(t.group, "01");
  EXPECT_STREQ(t.number, "1234,56");
}

// Groups and numbers are compared as typed: full-width digits and ＊ from an input
// method left in full-width mode become half-width in both dialogs; names stay.
TEST(TypedInputTest, GroupsAndNumbersTakeFullWidthDigitsAsHalfWidth) {
  TestApplication();
  std::unique_ptr<DataCore> core = NewCore();
  ScriptedUiServices ui;
  TAtrEditDlg atr(*core, ui);
  TSchEditDlg sch(*core, ui);
  struct Input {
    QDialog* dialog;
    const char* box;
    QString typed, pasted, shown;
  };
  const Input inputs[] = {
      {&sch, "Memo2", QStringLiteral("山田１"), QString(), QStringLiteral("山田１")},
      {&sch, "Memo3", QStringLiteral("０１"), QString(), QStringLiteral("01")},
      {&sch, "Memo4", QString(), QStringLiteral("７２３３１９"), QStringLiteral("723319")},
      {&atr, "Memo3", QString(), QStringLiteral("１２"), QStringLiteral("12")},
      {&atr, "Memo4", QStringLiteral("＊２３４５６"), QString(), QStringLiteral("*23456")},
  };
  for (const Input& in : inputs) {
    ShowActive(*in.dialog);
    if (in.typed.isEmpty()) {
      Paste(*in.dialog, in.box, in.pasted);
    } else {
      Retype(*in.dialog, in.box, in.typed);
    }
    EXPECT_EQ(Shown(*in.dialog, in.box), in.shown) << in.box << " " << (in.typed + in.pasted).toStdString();
  }
}

TEST(TypedInputTest, LeavingTheRegistrationNumberUnchangedKeepsTheTyping) {
  TestApplication();
  std::unique_ptr<DataCore> core = NewCore();
  FillTargets(core->Store(), 5);
  core->Store().SetEditPosition(2);
  AppendEntry(core->Store(), Entry("p1", {{"1", "100"}}));
  ScriptedUiServices ui;
  TSchEditDlg sch(*core, ui);
  TAtrEditDlg atr(*core, ui);
  struct Case {
    QDialog* dialog;
    const char* start;  // the record shown
    const char* again;  // typed into the registration-number box: the same record
    const char* other;  // another record
  };
  const char* const boxes[] = {"Memo2", "Memo3", "Memo4"};
  const Case cases[] = {
      {&sch, "3", "03", "4"}, {&atr, "2", "99", "1"},  // 99 is held to the free entry after the last
  };
  for (const Case& c : cases) {
    ShowActive(*c.dialog);
    ASSERT_EQ(Shown(*c.dialog, "Memo1"), c.start);
    const QString before = Shown(*c.dialog, "Memo2");
    for (const char* box : boxes) Retype(*c.dialog, box, QStringLiteral("x9"));
    for (const char* regNo : {c.start, c.again}) {
      Retype(*c.dialog, "Memo1", regNo);
      PressKey(Qt::Key_Tab);
      EXPECT_EQ(Shown(*c.dialog, "Memo1"), c.start) << regNo;
      for (const char* box : boxes) EXPECT_EQ(Shown(*c.dialog, box), "x9") << box << " after leaving " << regNo;
    }
    // Moving to another record and back drops the typing, as it always did.
    Retype(*c.dialog, "Memo1", c.other);
    PressKey(Qt::Key_Tab);
    Retype(*c.dialog, "Memo1", c.start);
    PressKey(Qt::Key_Tab);
    EXPECT_EQ(Shown(*c.dialog, "Memo2"), before);
    EXPECT_EQ(Shown(*c.dialog, "Memo3"), c.dialog == &atr ? "" : "3");
    c.dialog->hide();
  }
}

}  // namespace
}  // namespace luckyscope
