#include "scan/card_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "scan/number_reading.h"

namespace luckyscope {
namespace {

constexpr double kDpi = 300.0;
// A postcard is 100 x 148 mm: 1181 x 1748 pixels at 300 dpi.
constexpr int kCardShort = 1181;
constexpr int kCardLong = 1748;
// The number's digits are 3 to 4 mm high (35 to 47 pixels at 300 dpi); a located line
// is a little taller than its digits (the dilation), and a photographed card may come
// out a little smaller or larger once straightened.
constexpr double kMinLineHeight = 24;
constexpr double kMaxLineHeight = 64;
constexpr double kMinAspect = 2.8;
constexpr double kMaxAspect = 8.5;
constexpr double kMaxTilt = 10.0;
constexpr int kDilateWidth = 21;  // closes the gaps between digits, not the one before the group mark
constexpr int kDilateHeight = 3;
// The two readings: digits scaled to these heights.
constexpr int kReadHeight = 24;
constexpr int kCheckHeight = 33;
constexpr int kBorder = 12;
constexpr double kGrey = -1;  // ScaleForReading: no threshold
// Six digits, two of them perhaps run together or broken in two.
constexpr int kMinMarks = 5;
constexpr int kMaxMarks = 8;
// The group mark sits left of the number, within this many digit heights.
constexpr double kGroupReach = 4.0;
const char kModelPackage[] = "tesseract-ocr-eng";

cv::Mat ToGray(const QImage& image) {
  const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
  return cv::Mat(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.constBits()),
                 static_cast<std::size_t>(gray.bytesPerLine()))
      .clone();
}

QImage ToQImage(const cv::Mat& gray) {
  QImage image(gray.cols, gray.rows, QImage::Format_Grayscale8);
  for (int y = 0; y < gray.rows; ++y) std::copy_n(gray.ptr<uchar>(y), gray.cols, image.scanLine(y));
  return image;
}

// A located line: its centre, the direction of its length, its size.
struct Line {
  cv::Point2f center;
  double angle = 0;  // degrees, as getRotationMatrix2D takes them
  double width = 0;
  double height = 0;
};

std::vector<Line> LocateLines(const cv::Mat& smooth) {
  cv::Mat ink;
  cv::adaptiveThreshold(smooth, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 35, 12);
  cv::dilate(ink, ink, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kDilateWidth, kDilateHeight)));
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(ink, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
  std::vector<Line> lines;
  for (const auto& contour : contours) {
    if (contour.size() < 4) continue;
    const cv::RotatedRect box = cv::minAreaRect(contour);
    double w = box.size.width, h = box.size.height, angle = box.angle;
    if (w < h) {
      std::swap(w, h);
      angle += 90;
    }
    while (angle > 90) angle -= 180;
    while (angle <= -90) angle += 180;
    if (h < kMinLineHeight || h > kMaxLineHeight) continue;
    if (w / h < kMinAspect || w / h > kMaxAspect) continue;
    if (std::abs(angle) > kMaxTilt) continue;
    if (cv::contourArea(contour) < 0.6 * w * h) continue;
    lines.push_back({box.center, angle, w, h});
  }
  return lines;
}

// The card's outline on a contrasting (darker) background, as four corners in the
// image's pixels: top left, top right, bottom right, bottom left.
bool FindCardOutline(const cv::Mat& gray, std::array<cv::Point2f, 4>& corners) {
  const double f = 800.0 / std::max(gray.cols, gray.rows);
  cv::Mat small, mask;
  cv::resize(gray, small, cv::Size(), f, f, cv::INTER_AREA);
  cv::GaussianBlur(small, small, cv::Size(5, 5), 0);
  cv::threshold(small, mask, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
  cv::morphologyEx(mask, mask, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
  if (contours.empty()) return false;
  const auto largest = std::max_element(contours.begin(), contours.end(), [](const auto& a, const auto& b) {
    return cv::contourArea(a) < cv::contourArea(b);
  });
  const double area = cv::contourArea(*largest);
  const double imageArea = static_cast<double>(small.cols) * small.rows;
  if (area < 0.12 * imageArea || area > 0.92 * imageArea) return false;
  std::vector<cv::Point> hull, quad;
  cv::convexHull(*largest, hull);
  cv::approxPolyDP(hull, quad, 0.02 * cv::arcLength(hull, true), true);
  if (quad.size() != 4) return false;
  // A contrasting background: the card is clearly brighter than what lies around it.
  cv::Mat inside = cv::Mat::zeros(small.size(), CV_8UC1);
  cv::fillConvexPoly(inside, quad, cv::Scalar(255));
  cv::Mat outside;
  cv::bitwise_not(inside, outside);
  if (cv::mean(small, inside)[0] - cv::mean(small, outside)[0] < 50) return false;
  std::array<cv::Point2f, 4> p;
  for (int i = 0; i < 4; ++i) p[i] = cv::Point2f(quad[i].x / f, quad[i].y / f);
  auto pick = [&](auto key, bool largestKey) {
    return *std::max_element(p.begin(), p.end(), [&](const cv::Point2f& a, const cv::Point2f& b) {
      return largestKey ? key(a) < key(b) : key(a) > key(b);
    });
  };
  corners[0] = pick([](const cv::Point2f& q) { return q.x + q.y; }, false);
  corners[1] = pick([](const cv::Point2f& q) { return q.x - q.y; }, true);
  corners[2] = pick([](const cv::Point2f& q) { return q.x + q.y; }, true);
  corners[3] = pick([](const cv::Point2f& q) { return q.x - q.y; }, false);
  return true;
}

cv::Mat StraightenCard(const cv::Mat& gray, const std::array<cv::Point2f, 4>& c) {
  const double width = (cv::norm(c[1] - c[0]) + cv::norm(c[2] - c[3])) / 2;
  const double height = (cv::norm(c[3] - c[0]) + cv::norm(c[2] - c[1])) / 2;
  const cv::Size size = width > height ? cv::Size(kCardLong, kCardShort) : cv::Size(kCardShort, kCardLong);
  const std::array<cv::Point2f, 4> target = {cv::Point2f(0, 0), cv::Point2f(size.width, 0),
                                             cv::Point2f(size.width, size.height), cv::Point2f(0, size.height)};
  cv::Mat card;
  cv::warpPerspective(gray, card, cv::getPerspectiveTransform(c.data(), target.data()), size, cv::INTER_LINEAR,
                      cv::BORDER_REPLICATE);
  return card;
}

// The recogniser spreads each line over OpenMP threads; with the processor shared
// (other programs, other readers) that costs about four times what it saves, so each
// reader reads on its own thread only. The setting belongs to the calling thread.
void KeepToOneThread() { omp_set_max_active_levels(0); }

// Scales a crop so that its digits are digitHeight pixels high and gives it a white
// border. The first reading gets it thresholded at the line's own paper-and-ink level
// (after scaling, so that the edges stay smooth; the recogniser's own threshold is
// thrown by grain and faded ink); the check reading gets it grey, so that the two
// readings differ in more than the scale and seldom make the same mistake (a leading
// 7 on a grainy scan read as 1 at every scale when thresholded).
cv::Mat ScaleForReading(const cv::Mat& crop, double inkHeight, int digitHeight, double threshold) {
  const double f = digitHeight / std::max(inkHeight, 1.0);
  cv::Mat scaled, framed;
  cv::resize(crop, scaled, cv::Size(), f, f, f < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
  if (threshold >= 0) cv::threshold(scaled, scaled, threshold, 255, cv::THRESH_BINARY);
  cv::copyMakeBorder(scaled, framed, kBorder, kBorder, kBorder, kBorder, cv::BORDER_CONSTANT, cv::Scalar(255));
  return framed;
}

}  // namespace

double ScanResolution(const QImage& image) {
  const double dpi = image.dotsPerMeterX() * 0.0254;
  return dpi >= 100 && dpi <= 1200 ? dpi : kDpi;
}

QImage LoadScanImage(const QString& path, QString* error) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  QImage image = reader.read();
  if (image.isNull() && error) {
    *error = QStringLiteral("画像を読み込めません: %1 (%2)").arg(QFileInfo(path).fileName(), reader.errorString());
  }
  return image;
}

struct CardReader::Impl {
  tesseract::TessBaseAPI api;

  std::string Recognise(const cv::Mat& image) {
    api.SetImage(image.data, image.cols, image.rows, 1, static_cast<int>(image.step));
    api.SetSourceResolution(static_cast<int>(kDpi));
    std::unique_ptr<char[]> text(api.GetUTF8Text());
    return text ? std::string(text.get()) : std::string();
  }

  void ReadAs(bool number) {
    api.SetPageSegMode(number ? tesseract::PSM_SINGLE_LINE : tesseract::PSM_SINGLE_CHAR);
    api.SetVariable("tessedit_char_whitelist", number ? "0123456789" : "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  }

  std::string ReadGroupMark(const cv::Mat& left, double digitHeight, double paper, double ink);
  bool ReadLine(const cv::Mat& smooth, const Line& line, FoundNumber& found);
  // The numbers on the image, each given its cell of a grid of columns x rows cards.
  void ReadNumbers(const cv::Mat& smooth, int columns, int rows, std::vector<FoundNumber>& numbers);
  ImageReading ReadGray(const cv::Mat& gray);
};

namespace {

// Marks (connected pieces of ink) about as tall as a digit.
int CountDigitSizedMarks(const cv::Mat& line, double digitHeight, double threshold) {
  cv::Mat mask, labels, stats, centroids;
  cv::threshold(line, mask, threshold, 255, cv::THRESH_BINARY_INV);
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  int marks = 0;
  for (int i = 1; i < n; ++i) {
    const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
    if (h >= 0.55 * digitHeight && h <= 1.4 * digitHeight) ++marks;
  }
  return marks;
}

}  // namespace

std::string CardReader::Impl::ReadGroupMark(const cv::Mat& left, double digitHeight, double paper, double ink) {
  cv::Mat mask;
  cv::threshold(left, mask, (paper + ink) / 2, 255, cv::THRESH_BINARY_INV);
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  int best = -1;
  for (int i = 1; i < n; ++i) {
    const int x = stats.at<int>(i, cv::CC_STAT_LEFT), y = stats.at<int>(i, cv::CC_STAT_TOP);
    const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
    if (h < 0.6 * digitHeight || h > 1.4 * digitHeight || w > 1.5 * digitHeight) continue;
    if (std::abs(y + h / 2.0 - left.rows / 2.0) > 0.35 * digitHeight) continue;
    if (best < 0 || x > stats.at<int>(best, cv::CC_STAT_LEFT)) best = i;
  }
  if (best < 0) return {};
  const int margin = static_cast<int>(digitHeight * 0.2);
  cv::Rect box(stats.at<int>(best, cv::CC_STAT_LEFT) - margin, stats.at<int>(best, cv::CC_STAT_TOP) - margin,
               stats.at<int>(best, cv::CC_STAT_WIDTH) + 2 * margin,
               stats.at<int>(best, cv::CC_STAT_HEIGHT) + 2 * margin);
  box &= cv::Rect(0, 0, left.cols, left.rows);
  const cv::Mat mark = left(box);
  const double markHeight = stats.at<int>(best, cv::CC_STAT_HEIGHT);
  ReadAs(false);
  const std::string first = Recognise(ScaleForReading(mark, markHeight, kReadHeight, (paper + ink) / 2));
  const std::string second = Recognise(ScaleForReading(mark, markHeight, kCheckHeight, kGrey));
  ReadAs(true);
  return JudgeGroupMarks(first, second);
}

bool CardReader::Impl::ReadLine(const cv::Mat& smooth, const Line& line, FoundNumber& found) {
  // The line straightened, with room around it and, on its left, room for the group mark.
  const double digitHeight = std::max(line.height - (kDilateHeight - 1), 1.0);
  const int marginX = static_cast<int>(0.3 * digitHeight), marginY = static_cast<int>(0.3 * digitHeight);
  const int leftRoom = static_cast<int>(kGroupReach * digitHeight);
  const int numberWidth = static_cast<int>(line.width) + 2 * marginX - kDilateWidth + 1;
  const cv::Size size(leftRoom + numberWidth, static_cast<int>(line.height) + 2 * marginY);
  cv::Mat m = cv::getRotationMatrix2D(line.center, line.angle, 1.0);
  m.at<double>(0, 2) += leftRoom + numberWidth / 2.0 - line.center.x;
  m.at<double>(1, 2) += size.height / 2.0 - line.center.y;
  cv::Mat crop;
  cv::warpAffine(smooth, crop, m, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  const cv::Mat number = crop(cv::Rect(leftRoom, 0, numberWidth, size.height));

  // Paper and ink levels of the line, for a threshold that suits its own contrast.
  cv::Mat sorted = number.clone().reshape(1, 1);
  cv::sort(sorted, sorted, cv::SORT_ASCENDING);
  const double ink = sorted.at<uchar>(0, sorted.cols / 50);
  const double paper = sorted.at<uchar>(0, sorted.cols / 2);
  // Only lines of about six digit-sized marks are worth reading: this passes over the
  // address text, the stamp's value and the short numbers cheaply.
  const int marks = CountDigitSizedMarks(number, digitHeight, (paper + ink) / 2);
  if (marks < kMinMarks || marks > kMaxMarks) return false;

  ReadAs(true);
  const std::string first = Recognise(ScaleForReading(number, digitHeight, kReadHeight, (paper + ink) / 2));
  if (AcceptSixDigits(first).empty()) return false;
  const std::string second = Recognise(ScaleForReading(number, digitHeight, kCheckHeight, kGrey));
  const NumberVerdict verdict = JudgeReadings(first, second);
  found.number = verdict.number;
  found.agreed = verdict.agreed;
  found.position = QPointF(line.center.x, line.center.y);
  found.crop = ToQImage(crop);
  if (verdict.agreed) {
    found.group = ReadGroupMark(crop(cv::Rect(0, 0, leftRoom, size.height)), digitHeight, paper, ink);
  }
  return true;
}

void CardReader::Impl::ReadNumbers(const cv::Mat& smooth, int columns, int rows, std::vector<FoundNumber>& numbers) {
  for (const Line& line : LocateLines(smooth)) {
    FoundNumber found;
    if (!ReadLine(smooth, line, found)) continue;
    const int column = std::clamp(static_cast<int>(found.position.x() * columns / smooth.cols), 0, columns - 1);
    const int row = std::clamp(static_cast<int>(found.position.y() * rows / smooth.rows), 0, rows - 1);
    found.card = row * columns + column + 1;
    numbers.push_back(std::move(found));
  }
}

ImageReading CardReader::Impl::ReadGray(const cv::Mat& gray) {
  ImageReading result;
  cv::Mat work = gray;
  std::array<cv::Point2f, 4> corners;
  if (FindCardOutline(gray, corners)) {
    work = StraightenCard(gray, corners);
    result.photo = true;
  }
  cv::Mat smooth;
  cv::medianBlur(work, smooth, 3);
  cv::GaussianBlur(smooth, smooth, cv::Size(3, 3), 0);
  // The grid of card-sized cells the image holds: cards stand upright on a portrait
  // scan and lie on their side on a landscape one.
  int columns = 1, rows = 1;
  if (!result.photo) {
    const bool portrait = work.rows >= work.cols;
    const double w = work.cols / 0.95, h = work.rows / 0.95;
    columns = std::max(1, static_cast<int>(w / (portrait ? kCardShort : kCardLong)));
    rows = std::max(1, static_cast<int>(h / (portrait ? kCardLong : kCardShort)));
  }
  result.cards = columns * rows;
  ReadNumbers(smooth, columns, rows, result.numbers);
  // Nothing found on an image of about a card's shape but not its size: a photo cut
  // close to the card, whose edges are out of the frame. Taken as one card filling it.
  const double longSide = std::max(work.cols, work.rows), shortSide = std::min(work.cols, work.rows);
  const double fill = std::sqrt(static_cast<double>(kCardShort) * kCardLong / (longSide * shortSide));
  if (result.numbers.empty() && !result.photo && longSide / shortSide > 1.15 && longSide / shortSide < 1.8 &&
      std::abs(fill - 1) > 0.15) {
    cv::Mat card;
    cv::resize(smooth, card, cv::Size(), fill, fill, fill < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    ReadNumbers(card, 1, 1, result.numbers);
    if (!result.numbers.empty()) result.cards = 1;
  }
  std::stable_sort(result.numbers.begin(), result.numbers.end(), [](const FoundNumber& a, const FoundNumber& b) {
    return a.card != b.card ? a.card < b.card : a.position.y() < b.position.y();
  });
  return result;
}

CardReader::CardReader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CardReader::~CardReader() = default;

std::unique_ptr<CardReader> CardReader::Create(QString* error, const QString& dataPath) {
  QString folder = dataPath;
  if (folder.isEmpty()) folder = qEnvironmentVariable("TESSDATA_PREFIX");
  if (folder.isEmpty()) folder = QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
  if (!QFile::exists(folder + QStringLiteral("/eng.traineddata"))) {
    if (error) {
      *error =
          QStringLiteral(
              "文字認識の英語モデル (eng.traineddata) が %1 にありません。パッケージ %2 をインストールしてください。")
              .arg(folder, QString::fromLatin1(kModelPackage));
    }
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  const QByteArray path = QFile::encodeName(folder);
  if (impl->api.Init(path.constData(), "eng", tesseract::OEM_LSTM_ONLY) != 0) {
    if (error) {
      *error = QStringLiteral("文字認識の英語モデルを %1 から読み込めません。パッケージ %2 を入れ直してください。")
                   .arg(folder, QString::fromLatin1(kModelPackage));
    }
    return nullptr;
  }
  impl->api.SetVariable("debug_file", "/dev/null");
  impl->ReadAs(true);
  // The first recognition sets up the network's buffers; do it here rather than on
  // the first card.
  KeepToOneThread();
  impl->Recognise(cv::Mat(48, 160, CV_8UC1, cv::Scalar(255)));
  return std::unique_ptr<CardReader>(new CardReader(std::move(impl)));
}

ImageReading CardReader::Read(const QImage& image, double dpi, ReadCancel cancel) {
  KeepToOneThread();
  if (cancel != nullptr && cancel->load()) {
    ImageReading stopped;
    stopped.cancelled = true;
    return stopped;
  }
  if (image.isNull()) {
    ImageReading empty;
    empty.error = QStringLiteral("画像が空です。");
    return empty;
  }
  try {
    cv::Mat gray = ToGray(image);
    if (std::abs(dpi - kDpi) > 1) {
      const double f = kDpi / dpi;
      const cv::Size size(std::max(1, static_cast<int>(gray.cols * f)), std::max(1, static_cast<int>(gray.rows * f)));
      cv::resize(gray, gray, size, 0, 0, f < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    }
    return impl_->ReadGray(gray);
  } catch (const cv::Exception& e) {
    // An image no card could be on (a few pixels, say): reported, never a crash of
    // the worker.
    ImageReading failed;
    failed.error = QStringLiteral("画像を読み取れません (%1)").arg(QString::fromStdString(e.msg));
    return failed;
  }
}

ImageReading CardReader::ReadFile(const QString& path, ReadCancel cancel) {
  QString error;
  const QImage image = LoadScanImage(path, &error);
  if (image.isNull()) {
    ImageReading failed;
    failed.error = error;
    return failed;
  }
  return Read(image, ScanResolution(image), cancel);
}

}  // namespace luckyscope
