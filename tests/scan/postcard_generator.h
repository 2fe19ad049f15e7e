#pragma once
// Synthetic New-Year postcards for the reading tests and the benchmark, drawn with
// QPainter: the address side with Japanese address text, red postal-code boxes, the
// stamp with its value, the sender's postal code and telephone number (numbers that
// must not be taken for the lottery number) and, at the bottom, the group mark and the
// six-digit number in one of three typefaces, 3 to 4 mm high at 300 dpi.

#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>
#include <QImage>

namespace luckyscope::testing {

enum class CardVariant {
  Clean,
  Rotated,      // turned 2 to 5 degrees either way
  Noisy,        // grain and specks
  Blurred,      // slightly out of focus
  Jpeg,         // saved as JPEG at quality 60
  LowContrast,  // faded ink on greyish paper
  Sheet,        // four cards, 2 x 2, on one A4 scan
  Photo,        // one card photographed at a slant on a dark table
  UpsideDown,   // laid on the scanner the wrong way round (180 degrees, a little askew)
  Sideways,     // a landscape scan of a card on its side, turned either way
  Grey,         // an 8-bit greyscale scan, grey from the green channel as scanners make it
  ExifPhoto,    // a phone photo kept as landscape pixels with an orientation tag (a JPEG file)
  Photo12MP,    // a 4032 x 3024 phone photo stating 72 dpi, the card lying either way
  SheetMixed,   // 2 x 2 on A4, each card upright or upside down, touching or overlapping a little
  SheetSideways,  // 2 x 2 on a landscape A4 scan, each card on its side either way
  Sheet2x3,     // six cards, 3 across and 2 down, on an A3 scan, upright or upside down
  OneOnPlaten,  // one card anywhere on an A4 platen, any way round
};

inline constexpr CardVariant kAllVariants[] = {
    CardVariant::Clean,      CardVariant::Rotated,      CardVariant::Noisy,     CardVariant::Blurred,
    CardVariant::Jpeg,       CardVariant::LowContrast,  CardVariant::Sheet,     CardVariant::Photo,
    CardVariant::UpsideDown, CardVariant::Sideways,     CardVariant::Grey,      CardVariant::ExifPhoto,
    CardVariant::Photo12MP,  CardVariant::SheetMixed,   CardVariant::SheetSideways, CardVariant::Sheet2x3,
    CardVariant::OneOnPlaten};

bool IsPhoto(CardVariant variant);

const char* VariantName(CardVariant variant);

struct GeneratedScan {
  QImage image;                      // 300 dpi recorded in the image, except for photos
  QByteArray file;                   // for kinds that exist as files only (a tagged JPEG): the file's bytes
  std::vector<std::string> numbers;  // the cards' numbers, in card order (rows, then columns)
  std::vector<std::string> groups;   // their group marks
};

// The same seed gives the same image.
GeneratedScan GeneratePostcards(CardVariant variant, std::uint32_t seed);

}  // namespace luckyscope::testing
