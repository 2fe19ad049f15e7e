// What the main window keeps for the user beyond the data: the title with the open
// files and the modified marker, the recent files, the layout of the last session, and
// "元に戻す" after a deletion.

#include <functional>
#include <string>
#include <vector>

#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <gtest/gtest.h>

#include "app/recent_files.h"
#include "app/sdi_app_form.h"
#include "tests/support/list_gestures.h"
#include "tests/support/main_window_harness.h"
#include "ui/report_list.h"
#include "ui/user_state.h"

namespace luckyscope {
namespace {

using testing::MainWindowHarness;

class ComfortTest : public MainWindowHarness {
 protected:
  void SetUp() override {
    QFile::remove(UserStateFile());
    MainWindowHarness::SetUp();
  }
  void TearDown() override {
    MainWindowHarness::TearDown();
    QFile::remove(UserStateFile());
  }
  // The windows made again, as at the next start.
  void Restart() {
    form_ = nullptr;
    windows_.reset();
    windows_ = std::make_unique<ProgramWindows>(core_, ui_);
    form_ = &windows_->form;
  }
  QString File(const std::string& name) const { return QFile::decodeName(Path(name).c_str()); }
};

TEST_F(ComfortTest, TitleNamesEachTablesFileAndMarksUnsavedChanges) {
  struct Step {
    const char* what;
    std::function<void()> run;
    const char* title;
    bool modified;
  };
  const std::vector<Step> steps = {
      {"start", [] {}, "ラッキースコープ！", false},
      {"typed",
       [&] {
         AddTarget("山田", "01", "123456");
         form_->FillSearchList(FillMode::ShowAll, 0);
       },
       "ラッキースコープ！", false},
      {"saved",
       [&] {
         ui_.ChooseFile(Path("targets.dat"));
         form_->Action(QStringLiteral("FileSave1"))->trigger();
       },
       "ラッキースコープ！ - targets.dat / (無題)", false},
      {"entry",
       [&] {
         AddEntry("1等", {{"*", "123456"}});
         form_->FillWinningList(0);
       },
       "ラッキースコープ！ - targets.dat / (無題)[*]", true},
      {"both saved",
       [&] {
         ui_.ChooseFile(Path("winners.ban"));
         form_->Action(QStringLiteral("FileSave1"))->trigger();
       },
       "ラッキースコープ！ - targets.dat / winners.ban", false},
      {"deleted",
       [&] {
         form_->ListView2()->SelectAndFocusRow(0);
         testing::PressOnTargetList(*form_, Qt::Key_Delete);  // the last ticket: nothing to save
         testing::PickFilter(*form_, 0);
       },
       "ラッキースコープ！ - targets.dat / winners.ban", false},
      {"opened",
       [&] {
         ui_.ChooseFile(Path("targets.dat"));
         form_->Action(QStringLiteral("FileOpen1"))->trigger();
       },
       "ラッキースコープ！ - targets.dat / winners.ban", false},
      {"typed after opening",
       [&] {
         AddTarget("佐藤", "02", "222222");
         form_->FillSearchList(FillMode::ShowAll, 0);
       },
       "ラッキースコープ！ - targets.dat[*] / winners.ban", true},
      {"new",
       [&] {
         ui_.AnswerYes();  // データをクリアします
         ui_.AnswerNo();   // 現在の検索対象データをセーブしますか？
         form_->Action(QStringLiteral("FileNew1"))->trigger();
       },
       "ラッキースコープ！", false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.run();
    EXPECT_EQ(form_->windowTitle(), QString::fromUtf8(step.title));
    EXPECT_EQ(form_->isWindowModified(), step.modified);
  }
}

TEST_F(ComfortTest, RecentFilesKeepTheLatestEightFirst) {
  struct Case {
    QStringList added;
    QStringList expected;
  };
  const QStringList nine = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
  const Case cases[] = {
      {{"a", "b", "c"}, {"c", "b", "a"}},
      {{"a", "b", "a"}, {"a", "b"}},  // again: to the front, once
      {{"a", "", "b"}, {"b", "a"}},
      {nine, {"9", "8", "7", "6", "5", "4", "3", "2"}},
      {nine + QStringList{"5"}, {"5", "9", "8", "7", "6", "4", "3", "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.added.join(',').toStdString());
    RecentFiles recent;
    for (const QString& path : c.added) recent.Add(path);
    EXPECT_EQ(recent.Files(), c.expected);
    recent.Save();
    EXPECT_EQ(RecentFiles::Load().Files(), c.expected);
  }
}

TEST_F(ComfortTest, RecentFilesMenuOpensWithTheSaveQuestionAndDisablesMissingFiles) {
  auto* first = form_->findChild<QMenu*>(QStringLiteral("RecentFilesItem"));
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->isEnabled());  // nothing yet
  AddTarget("a", "01", "111111");
  AddEntry("1等", {{"*", "111111"}});
  ui_.ChooseFile(Path("old.dat"));
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  ui_.ChooseFile(Path("winners.ban"));
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  ui_.ChooseFile(Path("targets.dat"));
  form_->Action(QStringLiteral("FileSave1"))->trigger();
  EXPECT_TRUE(first->isEnabled());  // the first file brings the item to life
  QFile::remove(File("old.dat"));
  EXPECT_EQ(form_->Recent().Files(), (QStringList{File("targets.dat"), File("winners.ban"), File("old.dat")}));

  Restart();  // the list outlives the session
  auto* menu = form_->findChild<QMenu*>(QStringLiteral("RecentFilesItem"));
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), QStringLiteral("&1 ") + File("targets.dat"));
  EXPECT_TRUE(items[0]->isEnabled());
  EXPECT_TRUE(items[1]->isEnabled());
  EXPECT_FALSE(items[2]->isEnabled());  // removed since

  // Unsaved targets: opening a targets file asks first, as the open command does.
  AddTarget("b", "02", "222222");
  ui_.ExpectMessage(QStringLiteral("現在の検索対象データをセーブしますか？")).Answer(kAnswerNo);
  items[0]->trigger();
  EXPECT_EQ(Store().TargetCount(), 1);
  EXPECT_EQ(Column(form_->ListView2(), 1), QStringList{"a"});
}

TEST_F(ComfortTest, LayoutComesBackAndADamagedStateFileMeansTheBuiltSizes) {
  const QList<int> builtColumns = {40, 150, 50, 72, 90};
  auto columns = [this] {
    QList<int> widths;
    for (int c = 0; c < 5; ++c) widths.append(form_->ListView2()->header()->sectionSize(c));
    return widths;
  };
  const QList<int> builtPanes = form_->Body()->sizes();
  const QSize builtSize = form_->size();
  ASSERT_EQ(columns(), builtColumns);

  // A session that changed everything, closed: the next start has it back.
  form_->resize(700, 420);
  form_->ListView2()->header()->resizeSection(1, 210);
  form_->Body()->setSizes({200, 500});
  const QList<int> panes = form_->Body()->sizes();
  form_->SaveLayout();
  Restart();
  EXPECT_EQ(form_->size(), QSize(700, 420));
  EXPECT_EQ(form_->ListView2()->header()->sectionSize(1), 210);
  EXPECT_EQ(form_->Body()->sizes(), panes);

  const struct {
    const char* what;
    QByteArray bytes;
  } damaged[] = {
      {"garbage", QByteArray("\x00\xff\x13[[[\x01=\n\xfe", 10)},
      {"values", "[SDIAppForm]\ngeometry=not a geometry\nsplitter=1, x\nListView2=5, 5, 5\nListView1=-3, 99999\n"},
      {"empty", ""},
  };
  for (const auto& state : damaged) {
    SCOPED_TRACE(state.what);
    QFile file(UserStateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(state.bytes);
    file.close();
    Restart();
    EXPECT_EQ(form_->size(), builtSize);
    EXPECT_EQ(columns(), builtColumns);
    EXPECT_EQ(form_->Body()->sizes(), builtPanes);
  }
  form_->SaveLayout();  // a damaged file is written afresh
  Restart();
  EXPECT_EQ(form_->Body()->sizes(), builtPanes);
}

TEST_F(ComfortTest, UndoBringsBackTheDeletedTicketsWithTheirHits) {
  AddTarget("a", "01", "111111");
  AddTarget("b", "02", "222222");
  AddTarget("c", "03", "333333");
  AddEntry("1等", {{"*", "111111"}});
  AddEntry("2等", {{"03", "333333"}});
  core_.RunSearch();
  ui_.ChooseFile(Path("t.dat"));
  form_->SaveWithDialog(TSDIAppForm::TargetSavePreset());
  Store().SetWinningChanged(0);  // as if saved too: only the targets count below
  form_->FormActivate();
  testing::PickFilter(*form_, 0);
  const QStringList hitTypes = {"1等", "", "2等"};
  ASSERT_EQ(Column(form_->ListView2(), 4), hitTypes);
  QAction* undo = form_->Action(QStringLiteral("EditUndoItem"));
  ASSERT_NE(undo, nullptr);
  EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_FALSE(undo->isEnabled());

  form_->ListView2()->ClearSelection();
  for (int row : {0, 2}) {
    form_->ListView2()->selectionModel()->select(form_->ListView2()->Model()->index(row, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  testing::PressOnTargetList(*form_, Qt::Key_Delete);
  EXPECT_EQ(Column(form_->ListView2(), 1), QStringList{"b"});
  EXPECT_TRUE(form_->isWindowModified());
  EXPECT_TRUE(undo->isEnabled());

  undo->trigger();
  EXPECT_EQ(Column(form_->ListView2(), 0), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(Column(form_->ListView2(), 4), hitTypes);
  EXPECT_EQ(Store().TargetsChanged(), 0);  // saved before the deletion, saved again
  EXPECT_FALSE(form_->isWindowModified());
  EXPECT_FALSE(undo->isEnabled());

  // Another change to the targets in between: nothing to take back.
  form_->ListView2()->SelectAndFocusRow(1);
  testing::PressOnTargetList(*form_, Qt::Key_Delete);
  core_.RunSearch();
  testing::PickFilter(*form_, 0);
  EXPECT_FALSE(undo->isEnabled());
  form_->Action(QStringLiteral("EditUndoItem"))->trigger();
  EXPECT_EQ(Column(form_->ListView2(), 1), (QStringList{"a", "c"}));
}

}  // namespace
}  // namespace luckyscope
