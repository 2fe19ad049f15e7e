#include "scan/card_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <omp.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>

#include <QFile>
#include <QPainter>

#include "scan/number_reading.h"

namespace luckyscope {
namespace {

constexpr double kDpi = 300.0;
// A postcard is 100 x 148 mm: 1181 x 1748 pixels at 300 dpi.
constexpr int kCardShort = 1181;
constexpr int kCardLong = 1748;
// The number strip runs along the card's bottom edge: the card's centre lies this far
// above the number's centre, and the card reaches about this far either side of it.
constexpr double kNumberBelowCentre = 0.43 * kCardLong;
constexpr double kCardReach = 0.54;  // of the card's sides, from its centre, with room for slack
// The number's digits are 3 to 4 mm high (35 to 47 pixels at 300 dpi); a located line
// is a little taller than its digits (the dilation), and a photographed card may come
// out a little smaller or larger once straightened.
constexpr double kMinLineHeight = 24;
constexpr double kMaxLineHeight = 64;
constexpr double kMinAspect = 2.8;
constexpr double kMaxAspect = 8.5;
constexpr double kMaxTilt = 10.0;
constexpr int kDilateLength = 21;  // closes the gaps between digits, not the one before the group mark
constexpr int kDilateAcross = 3;
// The two readings: digits scaled to these heights.
constexpr int kReadHeight = 24;
constexpr int kCheckHeight = 33;
// The stand-in for the first reading: thresholded nearer the ink, at another scale.
constexpr int kStandInHeight = 28;
constexpr double kStandInLevel = 0.4;
constexpr int kBorder = 12;
constexpr double kGrey = -1;  // ScaleForReading: no threshold
// Six digits, two of them perhaps run together or broken in two.
constexpr int kMinMarks = 5;
constexpr int kMaxMarks = 8;
// The group mark sits left of the number, within this many digit heights.
constexpr double kGroupReach = 4.0;
// Work bounded per card-sized cell of the image, whatever the image holds: a card has
// a handful of number-shaped lines, a crafted image thousands.
constexpr int kMaxMeasuredPerCell = 48;
constexpr int kMaxReadPerCell = 6;
// The largest image read, in pixels at 300 dpi: an A2 sheet (A3 is 17 million).
constexpr double kMaxWorkPixels = 36e6;
// A card-sized cell with at least this share of ink but no number read holds a card
// whose number was not found.
constexpr double kCardInkShare = 0.01;
const char kModelPackage[] = "tesseract-ocr-eng";

bool Cancelled(ReadCancel cancel) { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

// Grey levels of any pixel format; transparent parts are laid on white paper first.
cv::Mat ToGray(const QImage& image) {
  QImage source = image;
  if (image.hasAlphaChannel()) {
    source = QImage(image.size(), QImage::Format_RGB32);
    source.fill(Qt::white);
    QPainter painter(&source);
    painter.drawImage(0, 0, image);
  }
  cv::Mat result;
  if (source.format() == QImage::Format_RGB32) {
    // The common case, four times faster than Qt's own conversion: B, G, R, X in memory.
    const cv::Mat bgrx(source.height(), source.width(), CV_8UC4, const_cast<uchar*>(source.constBits()),
                       static_cast<std::size_t>(source.bytesPerLine()));
    cv::cvtColor(bgrx, result, cv::COLOR_BGRA2GRAY);
    return result;
  }
  const QImage gray = source.convertToFormat(QImage::Format_Grayscale8);
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

// The number-shaped lines of the ink, run together along one direction: across the
// image (cards upright or upside down) or along it (cards on their side).
void LocateLines(const cv::Mat& ink, bool across, std::vector<Line>& lines) {
  cv::Mat joined;
  const cv::Size kernel = across ? cv::Size(kDilateLength, kDilateAcross) : cv::Size(kDilateAcross, kDilateLength);
  cv::dilate(ink, joined, cv::getStructuringElement(cv::MORPH_RECT, kernel));
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(joined, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
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
    const double tilt = across ? std::abs(angle) : 90 - std::abs(angle);
    if (tilt > kMaxTilt) continue;
    if (cv::contourArea(contour) < 0.6 * w * h) continue;
    lines.push_back({box.center, angle, w, h});
  }
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

// The shape of the top of each of the six digits, left to right: all unclear unless
// the line breaks into exactly six digit-sized marks.
std::array<DigitTop, 6> DigitTops(const cv::Mat& number, double digitHeight, double threshold) {
  std::array<DigitTop, 6> tops{};
  cv::Mat mask, labels, stats, centroids;
  cv::threshold(number, mask, threshold, 255, cv::THRESH_BINARY_INV);
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  std::vector<int> digits;
  for (int i = 1; i < n; ++i) {
    const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
    if (h >= 0.55 * digitHeight && h <= 1.4 * digitHeight) digits.push_back(i);
  }
  if (digits.size() != tops.size()) return tops;
  std::sort(digits.begin(), digits.end(),
            [&](int a, int b) { return stats.at<int>(a, cv::CC_STAT_LEFT) < stats.at<int>(b, cv::CC_STAT_LEFT); });
  for (std::size_t d = 0; d < tops.size(); ++d) {
    const int i = digits[d];
    const int top = stats.at<int>(i, cv::CC_STAT_TOP), height = stats.at<int>(i, cv::CC_STAT_HEIGHT);
    int left = labels.cols, right = -1;
    for (int y = top; y < top + std::max(1, height / 10); ++y) {
      const int* row = labels.ptr<int>(y);
      for (int x = 0; x < labels.cols; ++x) {
        if (row[x] != i) continue;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    const double width = static_cast<double>(right - left + 1) / height;
    tops[d] = right < 0 ? DigitTop::Unclear : width >= 0.5 ? DigitTop::Bar : width <= 0.4 ? DigitTop::Tip : DigitTop::Unclear;
  }
  return tops;
}

// The lone mark beside a number (its group mark): a piece of ink about a digit's size,
// centred on the line. The one nearest the number (the rightmost of a room on its left,
// the leftmost of one on its right) as a box, or an empty box.
cv::Rect LoneMark(const cv::Mat& room, double digitHeight, double threshold, bool nearestOnRight) {
  cv::Mat mask, labels, stats, centroids;
  cv::threshold(room, mask, threshold, 255, cv::THRESH_BINARY_INV);
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  cv::Rect best;
  for (int i = 1; i < n; ++i) {
    const cv::Rect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                       stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
    if (box.height < 0.6 * digitHeight || box.height > 1.4 * digitHeight || box.width > 1.5 * digitHeight) continue;
    if (std::abs(box.y + box.height / 2.0 - room.rows / 2.0) > 0.35 * digitHeight) continue;
    if (best.empty() || (nearestOnRight ? box.x > best.x : box.x < best.x)) best = box;
  }
  return best;
}

// A number line cut out of the image and straightened, with room for the group mark on
// either side, and what was measured of it.
struct Candidate {
  Line line;
  cv::Mat crop;    // room, number, room; turned upright once its side is known
  cv::Mat toCrop;  // the affine map from the image to the crop as cut
  int room = 0;
  int numberWidth = 0;
  double digitHeight = 0;
  double paper = 0, ink = 0;
  int marks = 0;
  int side = 0;  // +1 upright in the crop, -1 upside down, 0 unknown
  int cell = 0;
};

Candidate Measure(const cv::Mat& smooth, const Line& line) {
  Candidate c;
  c.line = line;
  c.digitHeight = std::max(line.height - (kDilateAcross - 1), 1.0);
  const int marginX = static_cast<int>(0.3 * c.digitHeight), marginY = static_cast<int>(0.3 * c.digitHeight);
  c.room = static_cast<int>(kGroupReach * c.digitHeight);
  c.numberWidth = std::max(static_cast<int>(line.width) + 2 * marginX - kDilateLength + 1, 1);
  const cv::Size size(2 * c.room + c.numberWidth, static_cast<int>(line.height) + 2 * marginY);
  c.toCrop = cv::getRotationMatrix2D(line.center, line.angle, 1.0);
  c.toCrop.at<double>(0, 2) += size.width / 2.0 - line.center.x;
  c.toCrop.at<double>(1, 2) += size.height / 2.0 - line.center.y;
  cv::warpAffine(smooth, c.crop, c.toCrop, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  const cv::Mat number = c.crop(cv::Rect(c.room, 0, c.numberWidth, size.height));
  // Paper and ink levels of the line, for a threshold that suits its own contrast.
  cv::Mat sorted = number.clone().reshape(1, 1);
  cv::sort(sorted, sorted, cv::SORT_ASCENDING);
  c.ink = sorted.at<uchar>(0, sorted.cols / 50);
  c.paper = sorted.at<uchar>(0, sorted.cols / 2);
  // Only lines of about six digit-sized marks are worth reading: this passes over the
  // address text, the stamp's value and the short numbers cheaply.
  c.marks = CountDigitSizedMarks(number, c.digitHeight, (c.paper + c.ink) / 2);
  if (c.marks < kMinMarks || c.marks > kMaxMarks) return c;
  // Which way up: the group mark stands left of the number.
  const double threshold = (c.paper + c.ink) / 2;
  const bool left = !LoneMark(c.crop(cv::Rect(0, 0, c.room, size.height)), c.digitHeight, threshold, true).empty();
  const bool right =
      !LoneMark(c.crop(cv::Rect(c.room + c.numberWidth, 0, c.room, size.height)), c.digitHeight, threshold, false)
           .empty();
  c.side = left == right ? 0 : left ? 1 : -1;
  return c;
}

bool WorthReading(const Candidate& c) { return c.marks >= kMinMarks && c.marks <= kMaxMarks; }

// A point of the crop (as turned upright) in the image's pixels.
cv::Point2f CropToImage(const Candidate& c, cv::Point2f p) {
  if (c.side < 0) p = cv::Point2f(static_cast<float>(c.crop.cols - 1) - p.x, static_cast<float>(c.crop.rows - 1) - p.y);
  cv::Mat back;
  cv::invertAffineTransform(c.toCrop, back);
  return cv::Point2f(static_cast<float>(back.at<double>(0, 0) * p.x + back.at<double>(0, 1) * p.y + back.at<double>(0, 2)),
                     static_cast<float>(back.at<double>(1, 0) * p.x + back.at<double>(1, 1) * p.y + back.at<double>(1, 2)));
}

// One word of five to seven digits.
bool AboutSixDigits(const std::string& text) {
  const auto begin = text.find_first_not_of(" \n");
  if (begin == std::string::npos) return false;
  const auto end = text.find_last_not_of(" \n") + 1;
  return end - begin >= 5 && end - begin <= 7 &&
         std::all_of(text.begin() + static_cast<std::ptrdiff_t>(begin), text.begin() + static_cast<std::ptrdiff_t>(end),
                     [](char ch) { return ch >= '0' && ch <= '9'; });
}

// A number read, with the card it stands on: the card's centre and corners in the
// image's pixels, from where the number strip lies on a card.
struct NumberOnCard {
  FoundNumber found;
  cv::Point2f cardCentre;
  std::array<cv::Point, 4> cardCorners;
};

void PlaceCard(const Candidate& c, NumberOnCard& read) {
  const cv::Point2f number(c.room + c.numberWidth / 2.0f, c.crop.rows / 2.0f);
  const cv::Point2f centre(number.x, number.y - static_cast<float>(kNumberBelowCentre));
  read.cardCentre = CropToImage(c, centre);
  const float dx = static_cast<float>(kCardReach * kCardShort), dy = static_cast<float>(kCardReach * kCardLong);
  const cv::Point2f corners[] = {{-dx, -dy}, {dx, -dy}, {dx, dy}, {-dx, dy}};
  for (int i = 0; i < 4; ++i) read.cardCorners[static_cast<std::size_t>(i)] = CropToImage(c, centre + corners[i]);
}

}  // namespace


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
  NumberVerdict ReadNumber(const Candidate& c, const cv::Mat& crop);
  bool ReadCandidate(Candidate& c, NumberOnCard& out);
  // The numbers on a work image (at 300 dpi), at most so many lines per cell of a grid
  // of columns x rows card-sized cells.
  std::vector<NumberOnCard> ReadNumbers(const cv::Mat& smooth, const cv::Mat& ink, int columns, int rows,
                                        ReadCancel cancel, bool& cancelled);
  ImageReading ReadGray(const cv::Mat& gray, ReadCancel cancel);
};

std::string CardReader::Impl::ReadGroupMark(const cv::Mat& left, double digitHeight, double paper, double ink) {
  const cv::Rect found = LoneMark(left, digitHeight, (paper + ink) / 2, true);
  if (found.empty()) return {};
  const int margin = static_cast<int>(digitHeight * 0.2);
  const cv::Rect box = (found + cv::Size(2 * margin, 2 * margin) - cv::Point(margin, margin)) & cv::Rect(0, 0, left.cols, left.rows);
  const cv::Mat mark = left(box);
  ReadAs(false);
  const std::string first = Recognise(ScaleForReading(mark, found.height, kReadHeight, (paper + ink) / 2));
  const std::string second = Recognise(ScaleForReading(mark, found.height, kCheckHeight, kGrey));
  ReadAs(true);
  return JudgeGroupMarks(first, second);
}

// The two readings of the number in a crop turned as given; nothing when the first is
// not six digits (the second is then not worth its time).
NumberVerdict CardReader::Impl::ReadNumber(const Candidate& c, const cv::Mat& crop) {
  const cv::Mat number = crop(cv::Rect(c.room, 0, c.numberWidth, crop.rows));
  const auto read = [&](int height, double threshold) {
    return Recognise(ScaleForReading(number, c.digitHeight, height, threshold));
  };
  std::string first = read(kReadHeight, (c.paper + c.ink) / 2);
  std::string standIn;
  if (AcceptSixDigits(first).empty()) {
    // Five or seven digits: a digit lost or doubled; a stand-in made alike may do
    // better. Anything else is no number.
    if (!AboutSixDigits(first)) return {};
    standIn = read(kStandInHeight, c.ink + kStandInLevel * (c.paper - c.ink));
    if (AcceptSixDigits(standIn).empty()) return {};
  }
  const std::string second = read(kCheckHeight, kGrey);
  NumberVerdict verdict = JudgeReadings(first, second, standIn);
  if (!verdict.agreed) {
    const std::string settled = SettleSevensAndOnes(standIn.empty() ? first : standIn, second,
                                                    DigitTops(number, c.digitHeight, (c.paper + c.ink) / 2));
    if (!settled.empty()) verdict = {settled, true};
  }
  return verdict;
}

bool CardReader::Impl::ReadCandidate(Candidate& c, NumberOnCard& out) {
  ReadAs(true);
  cv::Mat flipped;
  if (c.side <= 0) cv::rotate(c.crop, flipped, cv::ROTATE_180);
  NumberVerdict verdict;
  if (c.side != 0) {
    if (c.side < 0) c.crop = flipped;
    verdict = ReadNumber(c, c.crop);
  } else {
    // No side to go by: read both ways and offer what was read, for a look; upside
    // down only when both readings agree there (a line of other digits read upside
    // down gives six of some sort as often as not).
    const NumberVerdict up = ReadNumber(c, c.crop);
    const NumberVerdict down = up.agreed ? NumberVerdict{} : ReadNumber(c, flipped);
    const bool takeDown = down.agreed;
    verdict = takeDown ? down : up;
    verdict.agreed = false;
    if (takeDown) {
      c.crop = flipped;
      c.side = -1;
    }
  }
  if (verdict.number.empty()) return false;
  FoundNumber& found = out.found;
  found.number = verdict.number;
  found.agreed = verdict.agreed;
  found.position = QPointF(c.line.center.x, c.line.center.y);
  found.crop = ToQImage(c.crop(cv::Rect(0, 0, c.room + c.numberWidth, c.crop.rows)));
  if (verdict.agreed) found.group = ReadGroupMark(c.crop(cv::Rect(0, 0, c.room, c.crop.rows)), c.digitHeight, c.paper, c.ink);
  PlaceCard(c, out);
  return true;
}

std::vector<NumberOnCard> CardReader::Impl::ReadNumbers(const cv::Mat& smooth, const cv::Mat& ink, int columns,
                                                        int rows, ReadCancel cancel, bool& cancelled) {
  std::vector<Line> lines;
  LocateLines(ink, true, lines);
  LocateLines(ink, false, lines);
  const auto cells = static_cast<std::size_t>(columns * rows);
  std::vector<int> measured(cells), read(cells);
  std::vector<Candidate> candidates;
  for (const Line& line : lines) {
    if (Cancelled(cancel)) {
      cancelled = true;
      return {};
    }
    const int column = std::clamp(static_cast<int>(line.center.x * columns / smooth.cols), 0, columns - 1);
    const int row = std::clamp(static_cast<int>(line.center.y * rows / smooth.rows), 0, rows - 1);
    const int cell = row * columns + column;
    if (measured[static_cast<std::size_t>(cell)]++ >= kMaxMeasuredPerCell) continue;
    Candidate c = Measure(smooth, line);
    if (!WorthReading(c)) continue;
    c.cell = cell;
    candidates.push_back(std::move(c));
  }
  // The likeliest first: six marks, and a side to go by.
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return (a.marks != 6) + 2 * (a.side == 0) < (b.marks != 6) + 2 * (b.side == 0);
  });
  std::vector<NumberOnCard> numbers;
  for (Candidate& c : candidates) {
    if (Cancelled(cancel)) {
      cancelled = true;
      break;
    }
    if (read[static_cast<std::size_t>(c.cell)]++ >= kMaxReadPerCell) continue;
    NumberOnCard number;
    if (ReadCandidate(c, number)) numbers.push_back(std::move(number));
  }
  return numbers;
}

namespace {

cv::Mat InkOf(const cv::Mat& smooth) {
  cv::Mat ink;
  cv::adaptiveThreshold(smooth, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 35, 12);
  return ink;
}

// Gives each number its card: numbers whose cards' centres lie close are on one card;
// a cell of the grid that holds ink outside every card found, and no card's centre,
// holds a card whose number was not found. Cards are counted in rows, then columns.
void NumberCards(std::vector<NumberOnCard>& numbers, const cv::Mat& ink, int columns, int rows,
                 ImageReading& result) {
  // A card has one number: a reading without agreement that lies well inside a card
  // whose number was agreed is another line of that card (the sender's postal code
  // read upside down, say), not a number to offer.
  std::vector<NumberOnCard> agreed;
  for (const NumberOnCard& n : numbers) {
    if (n.found.agreed) agreed.push_back(n);
  }
  const auto onAgreedCard = [&](const NumberOnCard& n) {
    const cv::Point2f at(static_cast<float>(n.found.position.x()), static_cast<float>(n.found.position.y()));
    return !n.found.agreed && std::any_of(agreed.begin(), agreed.end(), [&](const NumberOnCard& a) {
      const std::vector<cv::Point> corners(a.cardCorners.begin(), a.cardCorners.end());
      return cv::pointPolygonTest(corners, at, true) > 0.05 * kCardShort;
    });
  };
  numbers.erase(std::remove_if(numbers.begin(), numbers.end(), onAgreedCard), numbers.end());
  std::vector<cv::Point2f> cards;
  std::vector<std::size_t> cardOf;
  for (const NumberOnCard& n : numbers) {
    std::size_t at = 0;
    while (at < cards.size() && cv::norm(cards[at] - n.cardCentre) > 0.35 * kCardShort) ++at;
    if (at == cards.size()) cards.push_back(n.cardCentre);
    cardOf.push_back(at);
  }
  cv::Mat unexplained = ink.clone();
  for (const NumberOnCard& n : numbers) cv::fillConvexPoly(unexplained, n.cardCorners.data(), 4, cv::Scalar(0));
  const double cellW = static_cast<double>(ink.cols) / columns, cellH = static_cast<double>(ink.rows) / rows;
  const std::size_t found = cards.size();
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const cv::Rect2d cell(column * cellW, row * cellH, cellW, cellH);
      if (std::any_of(cards.begin(), cards.begin() + static_cast<std::ptrdiff_t>(found),
                      [&](const cv::Point2f& c) { return cell.contains(c); })) {
        continue;
      }
      const cv::Rect inner = cv::Rect(cv::Rect2d(cell.x + 0.05 * cellW, cell.y + 0.05 * cellH, 0.9 * cellW, 0.9 * cellH)) &
                             cv::Rect(0, 0, ink.cols, ink.rows);
      if (inner.area() > 0 && cv::countNonZero(unexplained(inner)) > kCardInkShare * inner.area()) {
        cards.emplace_back(static_cast<float>(cell.x + cellW / 2), static_cast<float>(cell.y + cellH / 2));
      }
    }
  }
  // Rows of cards: a card more than half a card's short side below the first of its
  // row starts the next row.
  std::vector<std::size_t> order(cards.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return cards[a].y < cards[b].y; });
  std::vector<int> rowOf(cards.size());
  float rowTop = 0;
  int row = -1;
  for (std::size_t i : order) {
    if (row < 0 || cards[i].y - rowTop > 0.5f * kCardShort) {
      ++row;
      rowTop = cards[i].y;
    }
    rowOf[i] = row;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return rowOf[a] != rowOf[b] ? rowOf[a] < rowOf[b] : cards[a].x < cards[b].x;
  });
  std::vector<int> place(cards.size());
  for (std::size_t i = 0; i < order.size(); ++i) place[order[i]] = static_cast<int>(i) + 1;
  for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i].found.card = place[cardOf[i]];
  result.cards = std::max<int>(1, static_cast<int>(cards.size()));
}

}  // namespace

ImageReading CardReader::Impl::ReadGray(const cv::Mat& gray, ReadCancel cancel) {
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
  const cv::Mat ink = InkOf(smooth);
  std::vector<NumberOnCard> numbers = ReadNumbers(smooth, ink, columns, rows, cancel, result.cancelled);
  bool oneCard = result.photo;
  // Nothing found on an image of about a card's shape but not its size: a photo cut
  // close to the card, whose edges are out of the frame. Taken as one card filling it.
  const double longSide = std::max(work.cols, work.rows), shortSide = std::min(work.cols, work.rows);
  const double fill = std::sqrt(static_cast<double>(kCardShort) * kCardLong / (longSide * shortSide));
  if (numbers.empty() && !result.photo && !result.cancelled && longSide / shortSide > 1.15 &&
      longSide / shortSide < 1.8 && std::abs(fill - 1) > 0.15) {
    cv::Mat card;
    cv::resize(smooth, card, cv::Size(), fill, fill, fill < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    numbers = ReadNumbers(card, InkOf(card), 1, 1, cancel, result.cancelled);
    oneCard = !numbers.empty();
  }
  if (oneCard) {
    for (NumberOnCard& n : numbers) n.found.card = 1;
    result.cards = 1;
  } else {
    NumberCards(numbers, ink, columns, rows, result);
  }
  for (NumberOnCard& n : numbers) result.numbers.push_back(std::move(n.found));
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
  if (Cancelled(cancel)) {
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
    // Brought to 300 dpi, an image stating a low resolution grows: no sheet a scanner
    // takes is larger than this.
    if (static_cast<double>(image.width()) * image.height() * (kDpi / dpi) * (kDpi / dpi) > kMaxWorkPixels) {
      ImageReading failed;
      failed.error = QStringLiteral("画像が大きすぎて読み取れません (%1 dpi で %2 × %3 画素)")
                         .arg(std::lround(dpi))
                         .arg(image.width())
                         .arg(image.height());
      return failed;
    }
    cv::Mat gray = ToGray(image);
    if (std::abs(dpi - kDpi) > 1) {
      const double f = kDpi / dpi;
      const cv::Size size(std::max(1, static_cast<int>(gray.cols * f)), std::max(1, static_cast<int>(gray.rows * f)));
      cv::resize(gray, gray, size, 0, 0, f < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    }
    return impl_->ReadGray(gray, cancel);
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
