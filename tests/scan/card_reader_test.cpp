// Reading generated postcards: each kind of scan and photo gives its cards' numbers,
// never a wrong number without a mark, and a group mark only when it is right.

#include "scan/card_reader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <thread>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
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
  // 100 dpi is stored as 3937 dots per metre, a shade under 100.
  QImage stated(10, 10, QImage::Format_RGB32);
  stated.setDotsPerMeterX(3937);
  EXPECT_EQ(ScanResolution(stated), 100);
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

TEST_F(CardReaderTest, ReadsEveryPixelFormatAsWellAsColour) {
  const GeneratedScan scan = GeneratePostcards(CardVariant::Clean, 21);
  QList<QRgb> greys;
  for (int i = 0; i < 256; ++i) greys << qRgb(i, i, i);
  // Ink on transparent paper: black, as opaque as the ink is dark.
  QImage inkOnly(scan.image.size(), QImage::Format_ARGB32);
  for (int y = 0; y < inkOnly.height(); ++y) {
    for (int x = 0; x < inkOnly.width(); ++x) inkOnly.setPixel(x, y, qRgba(0, 0, 0, 255 - qGray(scan.image.pixel(x, y))));
  }
  const std::pair<const char*, QImage> formats[] = {
      {"grey 8", scan.image.convertToFormat(QImage::Format_Grayscale8)},
      {"grey 16", scan.image.convertToFormat(QImage::Format_Grayscale16)},
      {"indexed", scan.image.convertToFormat(QImage::Format_Indexed8, greys)},
      {"rgb 16", scan.image.convertToFormat(QImage::Format_RGB16)},
      {"transparent paper", inkOnly},
  };
  for (const auto& [name, image] : formats) ExpectRead(scan, reader_->Read(image, 300), name);
  // A CMYK JPEG, as print shops and some scanners save them.
  const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
  if (convert.isEmpty()) GTEST_SKIP() << "ImageMagick's convert is needed to make a CMYK JPEG";
  QTemporaryDir dir;
  ASSERT_TRUE(scan.image.save(dir.filePath(QStringLiteral("card.png"))));
  const QString cmyk = dir.filePath(QStringLiteral("cmyk.jpg"));
  ASSERT_EQ(QProcess::execute(convert, {dir.filePath(QStringLiteral("card.png")), QStringLiteral("-colorspace"),
                                        QStringLiteral("CMYK"), QStringLiteral("-quality"), QStringLiteral("92"), cmyk}),
            0);
  ExpectRead(scan, reader_->ReadFile(cmyk), "cmyk jpeg");
}

TEST_F(CardReaderTest, OffersAnEmptyRowOnlyForACardWithPrintButNoNumberRead) {
  // A 2 x 2 sheet whose first card's number strip is covered: four cards, three numbers.
  GeneratedScan sheet = GeneratePostcards(CardVariant::Sheet, 3);
  QPainter painter(&sheet.image);
  painter.fillRect(QRect(40, 1500, 1100, 250), Qt::white);
  painter.end();
  const ImageReading reading = reader_->Read(sheet.image, 300);
  EXPECT_EQ(reading.cards, 4);
  std::vector<int> cards;
  for (const FoundNumber& found : reading.numbers) {
    EXPECT_TRUE(found.agreed) << found.number;
    cards.push_back(found.card);
  }
  EXPECT_EQ(cards, (std::vector<int>{2, 3, 4}));
  // A blank A4 platen: one empty row, not four.
  QImage platen(2480, 3508, QImage::Format_RGB32);
  platen.fill(Qt::white);
  EXPECT_EQ(reader_->Read(platen, 300).cards, 1);
}

TEST_F(CardReaderTest, RefusesFilesThatAreNoImageOrTooLargeAndHonoursOrientationTags) {
  QTemporaryDir dir;
  const auto put = [&](const char* name, const QByteArray& bytes) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  };
  ASSERT_EQ(::mkfifo(dir.filePath(QStringLiteral("fifo.png")).toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
  const QString hostile[] = {
      dir.filePath(QStringLiteral("fifo.png")),  // would block an ordinary open for ever
      dir.filePath(QStringLiteral("folder.png")),
      put("empty.png", {}),
      put("drawing.png", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"/>"),
      // A header stating 30,000 x 30,000 pixels.
      put("huge.png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x75\x30\0\0\x75\x30\x08\x02\0\0\0", 29) +
                          QByteArray(64, 'x')),
  };
  for (const QString& path : hostile) {
    QString error;
    EXPECT_TRUE(LoadScanImage(path, &error).isNull()) << path.toStdString();
    EXPECT_TRUE(error.contains(QFileInfo(path).fileName())) << error.toStdString();
  }
  // A small image stating a low resolution would grow past any sheet at 300 dpi.
  EXPECT_FALSE(reader_->Read(QImage(3000, 3000, QImage::Format_Mono), 100).error.isEmpty());
  // A phone's portrait photo kept as landscape pixels with its orientation tag.
  const GeneratedScan photo = GeneratePostcards(CardVariant::ExifPhoto, 4);
  const QString tagged = put("tagged.jpg", photo.file);
  QString error;
  const QImage upright = LoadScanImage(tagged, &error);
  EXPECT_EQ(upright.size(), photo.image.size().transposed()) << error.toStdString();
  ExpectRead(photo, reader_->ReadFile(tagged), "tagged photo");
}

TEST_F(CardReaderTest, StopsWhenCancelledAndReadsInSeveralThreadsAtOnce) {
  // A page of number-shaped lines, far more than any card has.
  QImage page(2480, 3508, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setPixelSize(52);
  painter.setFont(font);
  for (int row = 0; row < 60; ++row) {
    for (int column = 0; column < 5; ++column) {
      painter.drawText(QPointF(40 + column * 480, 60 + row * 57), QStringLiteral("%1").arg(row * 7919 + column * 104729, 6, 10, QChar('0')).right(6));
    }
  }
  painter.end();
  std::atomic<bool> cancel{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    cancel = true;
  });
  const ImageReading stopped = reader_->Read(page, 300, &cancel);
  stopper.join();
  EXPECT_TRUE(stopped.cancelled);

  QString error;
  const std::unique_ptr<CardReader> second = CardReader::Create(&error);
  ASSERT_NE(second, nullptr) << error.toStdString();
  const GeneratedScan a = GeneratePostcards(CardVariant::UpsideDown, 31), b = GeneratePostcards(CardVariant::Sideways, 32);
  ImageReading readA, readB;
  std::thread other([&] { readB = second->Read(b.image, 300); });
  readA = reader_->Read(a.image, 300);
  other.join();
  ExpectRead(a, readA, "first thread");
  ExpectRead(b, readB, "second thread");
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
