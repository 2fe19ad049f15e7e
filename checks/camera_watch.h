#pragma once
// When a card held in front of the camera is judged. Reading a moving picture is not
// reading a scan: a frame caught while the card moves can be blurred into other
// digits, and the reader's two readings of one blurred frame may even agree. A number
// is therefore taken only when two reads in a row (of two different frames, close in
// time) each gave it with agreement, and as the only number of its frame; a frame
// holding nothing, or another number, breaks the run.
//
// A card held still is read again and again: the number taken is judged once, and the
// same number again only after another card was taken or after it was not seen for a
// few seconds (the same card shown again, or a second card with the same number).

#include <string>
#include <vector>

namespace luckyscope {

// Two reads further apart than this are not "in a row" (the card may have changed).
inline constexpr double kReadsInARow = 1.5;
// The same number is judged again after it was out of sight this long.
inline constexpr double kSameNumberAgain = 2.5;

class CardWatcher {
 public:
  // One read of a frame taken at `seconds` (any clock that does not go back): the
  // six-digit numbers the reader gave with agreement. Answers the number to judge now,
  // or an empty text.
  std::string Feed(double seconds, const std::vector<std::string>& agreedNumbers);

  // Forget everything (a new camera, say).
  void Reset() { *this = CardWatcher(); }

 private:
  std::string candidate_;  // the single number of the last read, or empty
  double candidateAt_ = 0;
  std::string judged_;     // the last number judged
  double judgedSeenAt_ = 0;
};

}  // namespace luckyscope
