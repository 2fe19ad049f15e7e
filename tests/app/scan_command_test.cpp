// The postcard command: the files are read in the background behind the services'
// progress box, the confirmation shows what was read, the window is told what was
// appended, Cancel and a missing model show nothing, and the readers stay loaded.

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

class ScanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { core_.ResetAll(); }

  QStringList Images(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
      const auto scan = testing::GeneratePostcards(testing::CardVariant::Clean, static_cast<std::uint32_t>(20 + i));
      numbers_.push_back(scan.numbers.front());
      paths << dir_.filePath(QStringLiteral("card%1.png").arg(i));
      EXPECT_TRUE(scan.image.save(paths.back()));
    }
    return paths;
  }

  // Reads the files; once the confirmation shows, notes its numbers and presses the
  // button. Whether it showed.
  bool Read(const QStringList& paths, const char* button) {
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TScanConfirmDlg*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      poll.stop();
      shown = true;
      shownNumbers_.clear();
      for (const auto& row : dialog->Rows()) shownNumbers_.push_back(row.number->text().toStdString());
      dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
    poll.start(10);
    command_.ReadFiles(paths);
    return shown;
  }

  ApplicationFirst application_;
  QTemporaryDir dir_;
  std::vector<std::string> numbers_, shownNumbers_;
  DataCore core_;
  ScriptedUiServices ui_;
  QWidget window_;
  std::vector<std::pair<int, int>> told_;
  ScanCommand command_{core_, ui_, window_, [this](int first, int count) { told_.emplace_back(first, count); }};
};

TEST_F(ScanCommandTest, ReadsBehindTheProgressBoxAndTellsWhatWasAppended) {
  const QStringList paths = Images(3);
  struct Case {
    int cancelAfter;  // -1: never pressed
    const char* button;
    bool shown;
    int appended;
  } const cases[] = {
      {-1, "AddBtn", true, 3},
      {-1, "CancelBtn", true, 0},
      {0, "AddBtn", false, 0},  // Cancel before the first file: nothing shows
      {1, "AddBtn", false, 0},  // ... or while the files are read
  };
  for (const Case& c : cases) {
    const int before = core_.Store().TargetCount();
    if (c.cancelAfter >= 0) ui_.CancelNextProgress(c.cancelAfter);
    told_.clear();
    EXPECT_EQ(Read(paths, c.button), c.shown) << c.cancelAfter;
    if (c.shown) {
      EXPECT_EQ(shownNumbers_, numbers_);
    }
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_EQ(told_[0], std::make_pair(before + 1, c.appended));
    EXPECT_EQ(core_.Store().TargetCount(), before + c.appended);
    const RecordedProgress& progress = ui_.Progresses().back();
    EXPECT_EQ(progress.label, QStringLiteral("はがきの画像を読み取っています..."));
    EXPECT_EQ(progress.steps, 3);
    EXPECT_EQ(progress.cancelled, c.cancelAfter >= 0);
    if (c.cancelAfter < 0) {
      EXPECT_EQ(progress.done, 3);
    }
  }
  EXPECT_EQ(ui_.Messages().size(), 0u);
}

TEST_F(ScanCommandTest, WithoutTheModelItNamesThePackageButReadersOnceMadeStay) {
  QTemporaryDir empty;
  const QStringList paths = Images(1);
  struct Case {
    bool readBefore;  // a reading with the model came first
    bool shown;
  } const cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    ScanCommand command(core_, ui_, window_, {});
    if (c.readBefore) {
      ui_.CancelNextProgress(0);
      command.ReadFiles(paths);  // makes the readers, reads nothing
    }
    qputenv("TESSDATA_PREFIX", QFile::encodeName(empty.path()));
    if (!c.shown) ui_.ExpectMessage().Answer(kAnswerOk);
    bool shown = false;
    QTimer::singleShot(0, [&] {
      if (auto* dialog = qobject_cast<TScanConfirmDlg*>(QApplication::activeModalWidget())) {
        shown = true;
        dialog->reject();
      }
    });
    command.ReadFiles(paths);
    qunsetenv("TESSDATA_PREFIX");
    EXPECT_EQ(shown, c.shown);
    if (!c.shown) {
      ASSERT_EQ(ui_.Messages().size(), 1u);
      EXPECT_TRUE(ui_.Messages()[0].text.contains(QStringLiteral("tesseract-ocr-eng")));
    }
    ui_.ClearRecords();
  }
  EXPECT_EQ(core_.Store().TargetCount(), 0);
}

}  // namespace
}  // namespace luckyscope
