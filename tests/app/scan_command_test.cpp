// The postcard command: the files are read behind the services' progress box, the
// confirmation shows them, the window is told what was appended; Cancel and a missing
// model show nothing, and readers once made stay loaded.

#include "app/scan_command.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/data_core.h"
#include "dialogs/scan_confirm_dlg.h"
#include "tests/scan/postcard_generator.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_application.h"
#include "ui/byte_line_edit.h"

namespace luckyscope {
namespace {

TEST(ScanCommand, ReadsBehindTheProgressBoxAndTellsWhatWasAppended) {
  ApplicationFirst application;
  QTemporaryDir dir, noModel;
  QStringList paths;
  std::vector<std::string> numbers;
  for (std::uint32_t seed = 20; seed < 23; ++seed) {
    const auto scan = testing::GeneratePostcards(testing::CardVariant::Clean, seed);
    numbers.push_back(scan.numbers.front());
    paths << dir.filePath(QStringLiteral("card%1.png").arg(seed));
    ASSERT_TRUE(scan.image.save(paths.back()));
  }
  struct Case {
    int cancelAfter;     // steps before Cancel; -1: not pressed
    bool modelGone;      // the model is missing from here on
    const char* button;  // pressed in the confirmation
    bool shown;
    int appended;
  } const cases[] = {
      {-1, false, "AddBtn", true, 3}, {-1, false, "CancelBtn", true, 0}, {0, false, "AddBtn", false, 0},
      {1, false, "AddBtn", false, 0}, {-1, true, "CancelBtn", true, 0},  // the readers made before still read
  };
  DataCore core;
  core.ResetAll();
  ScriptedUiServices ui;
  QWidget window;
  std::vector<std::pair<int, int>> told;
  ScanCommand command(core, ui, window, [&](int first, int count) { told.emplace_back(first, count); });
  for (const Case& c : cases) {
    if (c.modelGone) qputenv("TESSDATA_PREFIX", QFile::encodeName(noModel.path()));
    if (c.cancelAfter >= 0) ui.CancelNextProgress(c.cancelAfter);
    const int before = core.Store().TargetCount();
    std::vector<std::string> shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TScanConfirmDlg*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      for (const auto& row : dialog->Rows()) shown.push_back(row.number->text().toStdString());
      dialog->findChild<QPushButton*>(QString::fromLatin1(c.button))->click();
    });
    poll.start(10);
    told.clear();
    command.ReadFiles(paths);
    EXPECT_EQ(shown, c.shown ? numbers : std::vector<std::string>()) << c.cancelAfter;
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{before + 1, c.appended}}));
    const RecordedProgress& progress = ui.Progresses().back();
    EXPECT_EQ(progress.label, QStringLiteral("はがきの画像を読み取っています..."));
    EXPECT_EQ(progress.steps, 3);
    EXPECT_EQ(progress.cancelled, c.cancelAfter >= 0);
  }
  EXPECT_EQ(core.Store().TargetCount(), 3);

  // A command that has to make its readers without the model names the package.
  ScanCommand fresh(core, ui, window, {});
  ui.ExpectMessage().Answer(kAnswerOk);
  fresh.ReadFiles(paths);
  qunsetenv("TESSDATA_PREFIX");
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_TRUE(ui.Messages()[0].text.contains(QStringLiteral("tesseract-ocr-eng")));
}

}  // namespace
}  // namespace luckyscope
