#include "tests/scan/postcard_generator.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>

namespace luckyscope::testing {
namespace {

constexpr int kCardW = 1181;  // 100 mm at 300 dpi
constexpr int kCardH = 1748;  // 148 mm
constexpr double kPxPerMm = 300 / 25.4;
constexpr int kDotsPerMeter300 = 11811;

const char* const kDigitFonts[] = {"DejaVu Sans Mono", "DejaVu Sans", "Noto Sans Mono CJK JP"};
const char* const kPlaces[] = {"東京都千代田区千代田一丁目一番一号", "大阪府大阪市北区梅田三丁目四番五号",
                               "北海道札幌市中央区北一条西二丁目", "福岡県福岡市博多区博多駅前二丁目",
                               "愛知県名古屋市中村区名駅四丁目七番"};
const char* const kNames[] = {"山田 太郎 様", "佐藤 花子 様", "鈴木 一郎 様", "高橋 美咲 様", "田中 健 様"};

using Rng = std::mt19937;

int Uniform(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
double UniformReal(Rng& rng, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

std::string Digits(Rng& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + Uniform(rng, 0, 9));
  return s;
}

QFont Font(const char* family, double pixelHeight) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(static_cast<int>(std::lround(pixelHeight)));
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// One card's address side, upright, 300 dpi; its number and group mark are returned.
QImage DrawCard(Rng& rng, std::string& number, std::string& group) {
  QImage card(kCardW, kCardH, QImage::Format_RGB32);
  card.fill(Qt::white);
  QPainter p(&card);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor ink(25, 25, 30);

  // The stamp, top left, with its value.
  const QRectF stamp(70, 70, 230, 270);
  p.setPen(QPen(QColor(200, 40, 40), 4));
  p.drawRect(stamp);
  p.setFont(Font("Noto Sans CJK JP", 40));
  p.drawText(stamp.adjusted(10, 10, -10, -10), Qt::AlignTop | Qt::AlignHCenter, QStringLiteral("郵便はがき"));
  p.setFont(Font("DejaVu Sans", 70));
  p.drawText(stamp, Qt::AlignCenter, QString::number(Uniform(rng, 0, 1) ? 85 : 63));

  // The red postal-code boxes, top right, with the addressee's code written in them.
  const std::string code = Digits(rng, 7);
  p.setFont(Font("DejaVu Sans", 60));
  for (int i = 0; i < 7; ++i) {
    const double x = 420 + i * 95 + (i >= 3 ? 30 : 0);
    const QRectF box(x, 90, 80, 105);
    p.setPen(QPen(QColor(220, 30, 30), 4));
    p.drawRect(box);
    p.setPen(ink);
    p.drawText(box, Qt::AlignCenter, QString(QChar(code[static_cast<std::size_t>(i)])));
  }

  // The addressee, in large type across the middle.
  p.setPen(ink);
  p.setFont(Font("Noto Sans CJK JP", 58));
  p.drawText(QPointF(150, 480), QString::fromUtf8(kPlaces[Uniform(rng, 0, 4)]));
  p.drawText(QPointF(150, 580), QString::fromUtf8("マンション") + QString::number(Uniform(rng, 101, 909)));
  p.setFont(Font("Noto Sans CJK JP", 110));
  p.drawText(QPointF(280, 900), QString::fromUtf8(kNames[Uniform(rng, 0, 4)]));

  // The sender, lower left: address, postal code and telephone number.
  p.setFont(Font("Noto Sans CJK JP", 36));
  p.drawText(QPointF(90, 1250), QString::fromUtf8(kPlaces[Uniform(rng, 0, 4)]));
  p.drawText(QPointF(90, 1310), QString::fromUtf8(kNames[Uniform(rng, 0, 4)]).chopped(2));
  p.setFont(Font("DejaVu Sans", 40));
  const std::string sender = Digits(rng, 7);
  p.drawText(QPointF(90, 1380), QStringLiteral("〒%1-%2").arg(QString::fromStdString(sender.substr(0, 3)),
                                                              QString::fromStdString(sender.substr(3))));
  p.drawText(QPointF(90, 1440), QStringLiteral("TEL 0%1-%2-%3")
                                    .arg(QString::fromStdString(Digits(rng, 2)), QString::fromStdString(Digits(rng, 4)),
                                         QString::fromStdString(Digits(rng, 4))));

  // The strip at the bottom: the group mark, then the number.
  number = Digits(rng, 6);
  const int markKind = Uniform(rng, 0, 2);
  group = markKind == 0 ? std::string(1, static_cast<char>('0' + Uniform(rng, 0, 9)))
                        : std::string(1, static_cast<char>('A' + Uniform(rng, 0, 9)));
  const char* family = kDigitFonts[Uniform(rng, 0, 2)];
  const double digitHeight = UniformReal(rng, 3.0, 4.0) * kPxPerMm;
  QFont font = Font(family, digitHeight);
  const double capHeight = QFontMetricsF(font).capHeight();
  font.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * digitHeight / capHeight)));
  p.setFont(font);
  const double baseline = kCardH - UniformReal(rng, 90, 130);
  const double markX = UniformReal(rng, 330, 420);
  p.drawText(QPointF(markX, baseline), QString::fromStdString(group));
  const double numberX = markX + QFontMetricsF(font).horizontalAdvance(QString::fromStdString(group)) +
                         digitHeight * UniformReal(rng, 1.4, 2.2);
  p.drawText(QPointF(numberX, baseline), QString::fromStdString(number));
  p.setFont(Font("Noto Sans CJK JP", 26));
  p.drawText(QPointF(numberX, baseline + 45), QString::fromUtf8("お年玉くじ番号"));
  p.end();
  return card;
}

QImage Rotated(const QImage& image, double degrees, const QColor& fill) {
  QImage out(image.size(), QImage::Format_RGB32);
  out.fill(fill);
  QPainter p(&out);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.translate(image.width() / 2.0, image.height() / 2.0);
  p.rotate(degrees);
  p.translate(-image.width() / 2.0, -image.height() / 2.0);
  p.drawImage(0, 0, image);
  p.end();
  return out;
}

QImage Blurred(const QImage& image, double factor) {
  const QImage small = image.scaled(static_cast<int>(image.width() / factor), static_cast<int>(image.height() / factor),
                                    Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return small.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void AddNoise(QImage& image, Rng& rng, double sigma, double speckRate) {
  std::normal_distribution<double> grain(0, sigma);
  std::uniform_real_distribution<double> speck(0, 1);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const double n = grain(rng);
      int v = std::clamp(static_cast<int>(qGray(line[x]) + n), 0, 255);
      if (speck(rng) < speckRate) v = speck(rng) < 0.5 ? 0 : 255;
      line[x] = qRgb(v, v, v);
    }
  }
}

void LowerContrast(QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int v = 120 + qGray(line[x]) * 90 / 255;  // ink about 125, paper about 210
      line[x] = qRgb(v, v, v);
    }
  }
}

QImage ThroughJpeg(const QImage& image, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", quality);
  QImage back;
  back.loadFromData(bytes, "JPEG");
  return back.convertToFormat(QImage::Format_RGB32);
}

// A card turned by whole quarter turns, exactly.
QImage Turned(const QImage& card, int quarterTurns) {
  return quarterTurns % 4 == 0 ? card : card.transformed(QTransform().rotate(90.0 * (quarterTurns % 4)));
}

// A photo of the card on a table, in a frame of the given size (a random one about a
// card's shape when empty), the card turned by quarter turns within it.
QImage Photo(const QImage& upright, Rng& rng, QSize frame = {}, int quarterTurns = 0) {
  const QImage card = Turned(upright, quarterTurns);
  const int width = frame.isEmpty() ? Uniform(rng, 1500, 2000) : frame.width();
  const int height = frame.isEmpty() ? Uniform(rng, 1900, 2400) : frame.height();
  QImage photo(width, height, QImage::Format_RGB32);
  const QColor tables[] = {QColor(60, 40, 25), QColor(35, 35, 40), QColor(20, 45, 80), QColor(70, 70, 70)};
  photo.fill(tables[Uniform(rng, 0, 3)]);
  // The card covers most of the frame, its corners pulled about as a hand-held camera would.
  const double scale = UniformReal(rng, 0.75, 1.05) * std::min(width / double(card.width()), height / double(card.height()));
  const double cw = card.width() * scale, ch = card.height() * scale;
  const double x0 = (width - cw) / 2, y0 = (height - ch) / 2;
  const double j = 0.06 * std::min(cw, ch);
  QPolygonF target;
  target << QPointF(x0 + UniformReal(rng, -j, j), y0 + UniformReal(rng, -j, j))
         << QPointF(x0 + cw + UniformReal(rng, -j, j), y0 + UniformReal(rng, -j, j))
         << QPointF(x0 + cw + UniformReal(rng, -j, j), y0 + ch + UniformReal(rng, -j, j))
         << QPointF(x0 + UniformReal(rng, -j, j), y0 + ch + UniformReal(rng, -j, j));
  QPolygonF source;
  source << QPointF(0, 0) << QPointF(card.width(), 0) << QPointF(card.width(), card.height())
         << QPointF(0, card.height());
  QTransform transform;
  QTransform::quadToQuad(source, target, transform);
  QPainter p(&photo);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.setRenderHint(QPainter::Antialiasing);
  p.setTransform(transform);
  p.drawImage(0, 0, card);
  p.end();
  photo = Blurred(photo, 1.3);
  AddNoise(photo, rng, 5, 0);
  return ThroughJpeg(photo, 85);
}

// Lays a card on a scan with its centre at `centre`, turned by `degrees`.
void Lay(QPainter& p, const QImage& card, QPointF centre, double degrees) {
  p.save();
  p.translate(centre);
  p.rotate(degrees);
  p.drawImage(QPointF(-card.width() / 2.0, -card.height() / 2.0), card);
  p.restore();
}

// A JPEG file of the image with an orientation tag (6: shown turned a quarter turn
// clockwise, 8: anticlockwise), in an Exif segment right after the start marker.
QByteArray TaggedJpeg(const QImage& stored, int orientation) {
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  stored.save(&buffer, "JPEG", 90);
  const char exif[] = {'\xFF', '\xE1', 0, 34, 'E', 'x', 'i', 'f', 0, 0,         // segment, length, name
                       'M', 'M', 0, 42, 0, 0, 0, 8,                                  // big-endian header
                       0, 1,                                                         // one entry
                       0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, static_cast<char>(orientation), 0, 0,  // orientation, short
                       0, 0, 0, 0};                                                  // no next directory
  return jpeg.left(2) + QByteArray(exif, sizeof exif) + jpeg.mid(2);
}

}  // namespace

const char* VariantName(CardVariant variant) {
  switch (variant) {
    case CardVariant::Clean:
      return "clean";
    case CardVariant::Rotated:
      return "rotated";
    case CardVariant::Noisy:
      return "noisy";
    case CardVariant::Blurred:
      return "blurred";
    case CardVariant::Jpeg:
      return "jpeg60";
    case CardVariant::LowContrast:
      return "low-contrast";
    case CardVariant::Sheet:
      return "sheet2x2";
    case CardVariant::Photo:
      return "photo";
    case CardVariant::UpsideDown:
      return "upside-down";
    case CardVariant::Sideways:
      return "sideways";
    case CardVariant::Grey:
      return "grey8";
    case CardVariant::ExifPhoto:
      return "exif-photo";
    case CardVariant::Photo12MP:
      return "photo12mp";
    case CardVariant::SheetMixed:
      return "sheet-mixed";
    case CardVariant::SheetSideways:
      return "sheet-side";
    case CardVariant::Sheet2x3:
      return "sheet2x3";
    case CardVariant::OneOnPlaten:
      return "one-on-a4";
  }
  return "?";
}

bool IsPhoto(CardVariant variant) {
  return variant == CardVariant::Photo || variant == CardVariant::ExifPhoto || variant == CardVariant::Photo12MP;
}

GeneratedScan GeneratePostcards(CardVariant variant, std::uint32_t seed) {
  Rng rng(seed * 2654435761u + static_cast<std::uint32_t>(variant));
  GeneratedScan scan;
  auto card = [&] {
    std::string number, group;
    QImage image = DrawCard(rng, number, group);
    scan.numbers.push_back(number);
    scan.groups.push_back(group);
    return image;
  };
  QImage image;
  switch (variant) {
    case CardVariant::Clean:
      image = card();
      break;
    case CardVariant::Rotated: {
      const double degrees = UniformReal(rng, 2, 5) * (Uniform(rng, 0, 1) ? 1 : -1);
      image = Rotated(card(), degrees, Qt::white);
      break;
    }
    case CardVariant::Noisy:
      image = card();
      AddNoise(image, rng, 18, 0.002);
      break;
    case CardVariant::Blurred:
      image = Blurred(card(), UniformReal(rng, 1.8, 2.4));
      break;
    case CardVariant::Jpeg:
      image = ThroughJpeg(card(), 60);
      break;
    case CardVariant::LowContrast:
      image = card();
      LowerContrast(image);
      break;
    case CardVariant::Sheet: {
      // A4 at 300 dpi; the cards lie close, some touching, each a little askew.
      image = QImage(2480, 3508, QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter p(&image);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      const int gap = Uniform(rng, 0, 30), rowGap = Uniform(rng, 0, 6);
      for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
          const QImage one = card();
          p.save();
          p.translate(40 + column * (kCardW + gap) + kCardW / 2.0, 4 + row * (kCardH + rowGap) + kCardH / 2.0);
          p.rotate(UniformReal(rng, -1.0, 1.0));
          p.drawImage(QPointF(-kCardW / 2.0, -kCardH / 2.0), one);
          p.restore();
        }
      }
      p.end();
      break;
    }
    case CardVariant::Photo:
      image = Photo(card(), rng);
      break;
    case CardVariant::UpsideDown:
      image = Rotated(card(), 180 + UniformReal(rng, -2, 2), Qt::white);
      break;
    case CardVariant::Sideways: {
      image = QImage(kCardH, kCardW, QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter p(&image);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      Lay(p, card(), QPointF(kCardH / 2.0, kCardW / 2.0), (Uniform(rng, 0, 1) ? 90 : 270) + UniformReal(rng, -2, 2));
      break;
    }
    case CardVariant::Grey: {
      const QImage colour = card();
      image = QImage(colour.size(), QImage::Format_Grayscale8);
      for (int y = 0; y < colour.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(colour.constScanLine(y));
        uchar* out = image.scanLine(y);
        for (int x = 0; x < colour.width(); ++x) out[x] = static_cast<uchar>(std::min(qGreen(in[x]), 235));
      }
      break;
    }
    case CardVariant::ExifPhoto: {
      const QImage shown = Photo(card(), rng);
      const int orientation = Uniform(rng, 0, 1) ? 6 : 8;
      image = shown.transformed(QTransform().rotate(orientation == 6 ? -90 : 90));
      scan.file = TaggedJpeg(image, orientation);
      break;
    }
    case CardVariant::Photo12MP: {
      const bool landscape = Uniform(rng, 0, 1) != 0;
      const QSize frame = landscape ? QSize(4032, 3024) : QSize(3024, 4032);
      image = Photo(card(), rng, frame, landscape ? (Uniform(rng, 0, 1) ? 1 : 3) : Uniform(rng, 0, 1) * 2);
      break;
    }
    case CardVariant::SheetMixed:
    case CardVariant::SheetSideways:
    case CardVariant::Sheet2x3: {
      const bool sideways = variant == CardVariant::SheetSideways;
      const int columns = variant == CardVariant::Sheet2x3 ? 3 : 2;
      const QSize page = variant == CardVariant::Sheet2x3 ? QSize(4961, 3508) : sideways ? QSize(3508, 2480) : QSize(2480, 3508);
      const double w = sideways ? kCardH : kCardW, h = sideways ? kCardW : kCardH;
      image = QImage(page, QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter p(&image);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      // Gaps of up to 2.5 mm, or cards overlapping by up to 1.3 mm.
      const double gap = std::min(UniformReal(rng, -15, 30), (page.width() - 8 - columns * w) / (columns - 1));
      const double rowGap = std::min(UniformReal(rng, -15, 30), page.height() - 8 - 2 * h);
      for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < columns; ++column) {
          const double turn = sideways ? (Uniform(rng, 0, 1) ? 90 : 270) : Uniform(rng, 0, 1) * 180;
          Lay(p, card(), QPointF(4 + column * (w + gap) + w / 2, 4 + row * (h + rowGap) + h / 2),
              turn + UniformReal(rng, -1, 1));
        }
      }
      break;
    }
    case CardVariant::OneOnPlaten: {
      image = QImage(2480, 3508, QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter p(&image);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      const int turn = Uniform(rng, 0, 3);
      const double w = turn % 2 ? kCardH : kCardW, h = turn % 2 ? kCardW : kCardH;
      Lay(p, card(), QPointF(UniformReal(rng, w / 2 + 10, 2470 - w / 2), UniformReal(rng, h / 2 + 10, 3498 - h / 2)),
          turn * 90 + UniformReal(rng, -2, 2));
      break;
    }
  }
  if (!IsPhoto(variant)) {
    image.setDotsPerMeterX(kDotsPerMeter300);
    image.setDotsPerMeterY(kDotsPerMeter300);
  } else {
    image.setDotsPerMeterX(2835);  // 72 dpi, as cameras record
    image.setDotsPerMeterY(2835);
  }
  scan.image = image;
  return scan;
}

}  // namespace luckyscope::testing
