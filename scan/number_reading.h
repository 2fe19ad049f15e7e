#pragma once
// The acceptance rule for what the text recogniser makes of a number line. A reading
// counts only when it is exactly one word of exactly six digits; the line is read a
// second time at another scale, and the number is taken without a look only when both
// readings give the same six digits. The recogniser's own confidence is no help here:
// its wrong readings score as high as its right ones.

#include <string>
#include <string_view>

namespace luckyscope {

// The six digits of a reading, or the empty text when the reading is anything else
// (no word, two words, five or seven digits, a letter).
std::string AcceptSixDigits(std::string_view text);

// The group mark of a reading: exactly one letter A-Z or digit, else empty.
std::string AcceptGroupMark(std::string_view text);

struct NumberVerdict {
  std::string number;   // the first accepted reading (or the second), empty when neither
  bool agreed = false;  // both readings accepted and equal
};

// `standIn` is a reading made the way the first was, at another threshold and scale,
// when the first is not six digits (a digit lost or doubled): the number is then taken
// when the second reading agrees with it. It never overrules a first reading of six
// digits: where the first two disagree, one of them is wrong, and a third made like
// one of them shares its mistakes (a leading 7 read as 1) as often as not.
NumberVerdict JudgeReadings(std::string_view first, std::string_view second, std::string_view standIn = {});

// The group mark is offered only when both readings give the same mark.
std::string JudgeGroupMarks(std::string_view first, std::string_view second);

}  // namespace luckyscope
