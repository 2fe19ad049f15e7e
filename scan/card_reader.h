#pragma once
// Reads the lottery numbers of New-Year postcards from a scan (one card, or a sheet of
// several, each lying any way round) or from a photo of one card.
//
// The whole image is searched for number-shaped lines (rather than for the cards'
// edges, which cannot be told apart where cards touch), across and along the image so
// that cards lying sideways are found too. Which way up a card lies is decided from the
// card, not from the digits (upside down, 6 and 9 swap and 0, 1 and 8 stay digits): the
// group mark stands left of the number, so a lone mark on its right side means the card
// is upside down; a line with a mark on neither side or on both is still read, but its
// number is never taken without a look. Each line is straightened, cropped, scaled to a
// fixed digit height and read twice at two scales with a digits-only recogniser. A
// photo (a card on a contrasting background) has its card outline found and
// straightened to a 300 dpi card first. The group mark left of the number is read on
// its own and offered only when its two readings agree.
//
// One reader holds one recogniser with its model loaded; it is not shared between
// threads: give each worker its own. Readers keep no state outside themselves, so
// readers in several threads read side by side.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QPointF>
#include <QString>

#include "scan/scan_image.h"

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
  // How many cards the image seems to hold: those a number was found on, and each
  // card-sized stretch of print where none was (at least one).
  int cards = 1;
  bool photo = false;                // the card was found on a contrasting background
  QString error;                     // empty, or why the image could not be read
  bool cancelled = false;            // the read stopped early because it was asked to
};

// Asked to stop: a reader looks at it between steps and returns what it has, marked
// cancelled. Null means the read runs to its end.
using ReadCancel = const std::atomic<bool>*;

class CardReader {
 public:
  // Loads the English model from dataPath (a tessdata folder), or from
  // $TESSDATA_PREFIX, or from Debian's folder. Null, with the error text naming the
  // package to install, when the model is missing.
  static std::unique_ptr<CardReader> Create(QString* error, const QString& dataPath = QString());
  ~CardReader();
  CardReader(const CardReader&) = delete;
  CardReader& operator=(const CardReader&) = delete;

  // Reads an image whose resolution is dpi (scans are brought to 300 dpi first). Any
  // pixel format; transparent parts count as white paper.
  ImageReading Read(const QImage& image, double dpi, ReadCancel cancel = nullptr);
  // Loads (LoadScanImage) and reads a file.
  ImageReading ReadFile(const QString& path, ReadCancel cancel = nullptr);

 private:
  struct Impl;
  explicit CardReader(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace luckyscope
