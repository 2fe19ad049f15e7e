// The confirmation of numbers read from postcards: what each row shows, "追加"
// appending the checked rows only (within the 10,000 limit), and "キャンセル" adding
// nothing.

#include "dialogs/scan_confirm_dlg.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "dialog_test_util.h"
#include "tests/scan/postcard_generator.h"
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

// The reading itself, in its worker thread behind the progress dialog.
class ScanReadingTest : public ::testing::Test {
 protected:
  QStringList Images(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
      const auto scan = GeneratePostcards(CardVariant::Clean, static_cast<std::uint32_t>(20 + i));
      numbers_.push_back(scan.numbers.front());
      paths << dir_.filePath(QStringLiteral("card%1.png").arg(i));
      EXPECT_TRUE(scan.image.save(paths.back()));
    }
    return paths;
  }

  QApplication& app_ = TestApplication();
  QTemporaryDir dir_;
  std::vector<std::string> numbers_;
  std::unique_ptr<DataCore> core_ = NewCore();
  ScriptedUiServices ui_;
  QWidget window_;
};

TEST_F(ScanReadingTest, ReadsEveryFileInTheBackgroundUntilCancelled) {
  const QStringList paths = Images(3);
  bool cancelled = true;
  QString error;
  const auto scans = ReadScans(paths, &window_, &cancelled, &error);
  EXPECT_FALSE(cancelled);
  EXPECT_TRUE(error.isEmpty());
  ASSERT_EQ(scans.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(scans[i].path, paths[static_cast<qsizetype>(i)]);
    ASSERT_EQ(scans[i].reading.numbers.size(), 1u);
    EXPECT_EQ(scans[i].reading.numbers[0].number, numbers_[i]);
  }

  // Cancel pressed while the first file is read: nothing comes back, and the
  // confirmation is not shown.
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    auto* progress = window_.findChild<QProgressDialog*>(QStringLiteral("ScanProgress"));
    if (progress == nullptr) return;
    if (auto* button = progress->findChild<QPushButton*>()) button->click();
  });
  press.start(10);
  EXPECT_TRUE(ReadScans(paths, &window_, &cancelled, &error).empty());
  EXPECT_TRUE(cancelled);
  press.stop();
}

TEST_F(ScanReadingTest, WithoutTheModelTheCommandNamesThePackageAndShowsNothing) {
  QTemporaryDir empty;
  qputenv("TESSDATA_PREFIX", QFile::encodeName(empty.path()));
  TScanConfirmDlg dlg(*core_, ui_, &window_);
  ui_.ExpectMessage().Answer(kAnswerOk);
  EXPECT_FALSE(dlg.ReadAndConfirm(Images(1)));
  qunsetenv("TESSDATA_PREFIX");
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_TRUE(ui_.Messages()[0].text.contains(QStringLiteral("tesseract-ocr-eng")));
  EXPECT_EQ(core_->Store().TargetCount(), 0);
}

}  // namespace
}  // namespace luckyscope
