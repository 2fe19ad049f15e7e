#pragma once
// Reads the lottery numbers of New-Year postcards from a scan (one card, or several
// side by side) or from a photo of one card.
//
// The whole image is searched for number-shaped lines (rather than for the cards'
// edges, which cannot be told apart where cards touch); each line is straightened,
// cropped, scaled to a fixed digit height and read twice at two scales with a
// digits-only recogniser. A photo (a card on a contrasting background) has its card
// outline found and straightened to a 300 dpi card first. The group mark left of the
// number is read on its own and offered only when its two readings agree.
//
// One reader holds one recogniser with its model loaded; it is not shared between
// threads: give each worker its own.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QPointF>
#include <QString>

namespace luckyscope {

// A number line found on an image.
struct FoundNumber {
  std::string number;   // six digits, or empty when neither reading was six digits
  bool agreed = false;  // both readings gave these six digits
  std::string group;    // the group mark, only when its two readings agreed
  QImage crop;          // the straightened line with its group mark, as the reader saw it
  QPointF position;     // the line's centre, in pixels at 300 dpi (of the straightened card for a photo)
  int card = 0;         // 1-based position of its card on the image (rows, then columns)
};

struct ImageReading {
  std::vector<FoundNumber> numbers;  // in card order
  int cards = 1;                     // how many cards the image seems to hold
  bool photo = false;                // the card was found on a contrasting background
  QString error;                     // empty, or why the image could not be read
  bool cancelled = false;            // the read stopped early because it was asked to
};

// Asked to stop: a reader looks at it between steps and returns what it has, marked
// cancelled. Null means the read runs to its end.
using ReadCancel = const std::atomic<bool>*;

// The resolution a file's image is taken to have: its own when it states a plausible
// one (100 to 1200 dpi), else 300.
double ScanResolution(const QImage& image);

// Loads an image file with Qt's readers (PNG, JPEG, TIFF, ...). A null image and an
// error text on failure.
QImage LoadScanImage(const QString& path, QString* error);

class CardReader {
 public:
  // Loads the English model from dataPath (a tessdata folder), or from
  // $TESSDATA_PREFIX, or from Debian's folder. Null, with the error text naming the
  // package to install, when the model is missing.
  static std::unique_ptr<CardReader> Create(QString* error, const QString& dataPath = QString());
  ~CardReader();
  CardReader(const CardReader&) = delete;
  CardReader& operator=(const CardReader&) = delete;

  // Reads an image whose resolution is dpi (scans are brought to 300 dpi first).
  ImageReading Read(const QImage& image, double dpi, ReadCancel cancel = nullptr);
  // Loads and reads a file.
  ImageReading ReadFile(const QString& path, ReadCancel cancel = nullptr);

 private:
  struct Impl;
  explicit CardReader(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace luckyscope
