#pragma once
// Synthetic New-Year postcards for the reading tests and the benchmark, drawn with
// QPainter: the address side with Japanese address text, red postal-code boxes, the
// stamp with its value, the sender's postal code and telephone number (numbers that
// must not be taken for the lottery number) and, at the bottom, the group mark and the
// six-digit number in one of three typefaces, 3 to 4 mm high at 300 dpi.

#include <cstdint>
#include <string>
#include <vector>

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
};

inline constexpr CardVariant kAllVariants[] = {CardVariant::Clean,   CardVariant::Rotated, CardVariant::Noisy,
                                               CardVariant::Blurred, CardVariant::Jpeg,    CardVariant::LowContrast,
                                               CardVariant::Sheet,   CardVariant::Photo};

const char* VariantName(CardVariant variant);

struct GeneratedScan {
  QImage image;                      // 300 dpi recorded in the image, except for photos
  std::vector<std::string> numbers;  // the cards' numbers, in card order (rows, then columns)
  std::vector<std::string> groups;   // their group marks
};

// The same seed gives the same image.
GeneratedScan GeneratePostcards(CardVariant variant, std::uint32_t seed);

}  // namespace luckyscope::testing
