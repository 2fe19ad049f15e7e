// Reading generated postcards: each kind of scan and photo gives its cards' numbers,
// never a wrong number without a mark, and a group mark only when it is right.

#include "scan/card_reader.h"

#include <algorithm>
#include <memory>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/scan/postcard_generator.h"

namespace luckyscope {
namespace {

using testing::CardVariant;
using testing::GeneratedScan;
using testing::GeneratePostcards;

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "scan_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  return app;
}

class CardReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    App();
    QString error;
    reader_ = CardReader::Create(&error).release();
    ASSERT_NE(reader_, nullptr) << error.toStdString();
  }
  static void TearDownTestSuite() {
    delete reader_;
    reader_ = nullptr;
  }

  // Every card's number is read with agreement, nothing else is taken, and each
  // offered group mark is the card's own.
  static void ExpectRead(const GeneratedScan& scan, const ImageReading& reading, const std::string& label) {
    ASSERT_TRUE(reading.error.isEmpty()) << label;
    std::vector<std::string> agreed;
    for (const FoundNumber& found : reading.numbers) {
      if (!found.agreed) continue;
      agreed.push_back(found.number);
      const auto at = std::find(scan.numbers.begin(), scan.numbers.end(), found.number);
      ASSERT_NE(at, scan.numbers.end()) << label << ": took " << found.number;
      const std::size_t card = static_cast<std::size_t>(at - scan.numbers.begin());
      EXPECT_EQ(found.card, static_cast<int>(card) + 1) << label << ": card of " << found.number;
      if (!found.group.empty()) {
        EXPECT_EQ(found.group, scan.groups[card]) << label << ": group of " << found.number;
      }
      EXPECT_FALSE(found.crop.isNull()) << label;
    }
    std::vector<std::string> expected = scan.numbers;
    std::sort(expected.begin(), expected.end());
    std::sort(agreed.begin(), agreed.end());
    EXPECT_EQ(agreed, expected) << label;
    EXPECT_EQ(reading.cards, static_cast<int>(scan.numbers.size())) << label;
  }

  // From the file when the kind exists as a file only (a tagged JPEG), else from memory.
  static ImageReading ReadAsTheUserWould(const GeneratedScan& scan) {
    if (scan.file.isEmpty()) return reader_->Read(scan.image, ScanResolution(scan.image));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("photo.jpg")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(scan.file) == scan.file.size());
    file.close();
    return reader_->ReadFile(file.fileName());
  }

  static CardReader* reader_;
};

CardReader* CardReaderTest::reader_ = nullptr;

TEST_F(CardReaderTest, ReadsEveryKindOfScanAndPhoto) {
  for (CardVariant variant : testing::kAllVariants) {
    const int images = testing::IsPhoto(variant) || variant >= CardVariant::SheetMixed || variant == CardVariant::Sheet ? 1 : 2;
    for (int seed = 1; seed <= images; ++seed) {
      const GeneratedScan scan = GeneratePostcards(variant, static_cast<std::uint32_t>(seed));
      const ImageReading reading = ReadAsTheUserWould(scan);
      ExpectRead(scan, reading, std::string(testing::VariantName(variant)) + " " + std::to_string(seed));
      EXPECT_EQ(reading.photo, testing::IsPhoto(variant));
    }
  }
}

TEST_F(CardReaderTest, BringsScansOfOtherResolutionsTo300Dpi) {
  const GeneratedScan scan = GeneratePostcards(CardVariant::Clean, 7);
  for (const int dpi : {200, 600}) {
    QImage image = scan.image.scaled(scan.image.width() * dpi / 300, scan.image.height() * dpi / 300,
                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(image.dotsPerMeterX());
    EXPECT_NEAR(ScanResolution(image), dpi, 0.5);
    ExpectRead(scan, reader_->Read(image, ScanResolution(image)), std::to_string(dpi) + " dpi");
  }
  // A file that states no plausible resolution is taken as a 300 dpi scan.
  for (const int dotsPerMeter : {0, 2835, 100000}) {
    QImage image(10, 10, QImage::Format_RGB32);
    image.setDotsPerMeterX(dotsPerMeter);
    EXPECT_EQ(ScanResolution(image), 300) << dotsPerMeter;
  }
}

TEST_F(CardReaderTest, ReadsAPhotoCutCloseToTheCardAsOneCardFillingIt) {
  const GeneratedScan scan = GeneratePostcards(CardVariant::Clean, 8);
  for (const double scale : {0.5, 1.8}) {
    const QImage cut = scan.image.copy(scan.image.rect().adjusted(30, 40, -30, -30));
    QImage photo = cut.scaled(static_cast<int>(cut.width() * scale), static_cast<int>(cut.height() * scale),
                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    photo.setDotsPerMeterX(2835);  // 72 dpi: no resolution to go by
    photo.setDotsPerMeterY(2835);
    ExpectRead(scan, reader_->Read(photo, ScanResolution(photo)), "cut close, scale " + std::to_string(scale));
  }
}

TEST_F(CardReaderTest, ReadsFilesAndReportsThoseItCannotLoad) {
  QTemporaryDir dir;
  const GeneratedScan scan = GeneratePostcards(CardVariant::Clean, 11);
  for (const char* format : {"png", "jpg", "tif"}) {
    const QString path = dir.filePath(QStringLiteral("card.") + QString::fromLatin1(format));
    ASSERT_TRUE(scan.image.save(path, nullptr, 95)) << format;
    ExpectRead(scan, reader_->ReadFile(path), format);
  }
  QFile broken(dir.filePath(QStringLiteral("broken.png")));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("\x89PNG not really");
  broken.close();
  for (const QString& path : {broken.fileName(), dir.filePath(QStringLiteral("missing.png"))}) {
    const ImageReading reading = reader_->ReadFile(path);
    EXPECT_TRUE(reading.numbers.empty());
    EXPECT_TRUE(reading.error.contains(QFileInfo(path).fileName())) << reading.error.toStdString();
  }
}

TEST_F(CardReaderTest, FindsNothingWhereThereIsNoNumber) {
  QImage blank(1181, 1748, QImage::Format_RGB32);
  blank.fill(Qt::white);
  const ImageReading reading = reader_->Read(blank, 300);
  EXPECT_TRUE(reading.numbers.empty());
  EXPECT_EQ(reading.cards, 1);
  EXPECT_FALSE(reader_->Read(QImage(), 300).error.isEmpty());
  // Images too small to hold a card, at any resolution, read as nothing.
  for (const QSize size : {QSize(1, 1), QSize(3, 500), QSize(700, 2)}) {
    for (const double dpi : {100.0, 300.0, 1200.0}) {
      QImage tiny(size, QImage::Format_RGB32);
      tiny.fill(Qt::black);
      EXPECT_TRUE(reader_->Read(tiny, dpi).numbers.empty()) << size.width() << "x" << size.height() << " " << dpi;
    }
  }
}

TEST(CardReaderModel, NamesThePackageWhenTheModelIsMissing) {
  App();
  QTemporaryDir empty;
  QString error;
  EXPECT_EQ(CardReader::Create(&error, empty.path()), nullptr);
  EXPECT_TRUE(error.contains(QStringLiteral("tesseract-ocr-eng"))) << error.toStdString();
}

}  // namespace
}  // namespace luckyscope
