#pragma once
// The acceptance rule for what the text recogniser makes of a number line. A reading
// counts only when it is exactly one word of exactly six digits; the line is read a
// second time at another scale, and the number is taken without a look only when both
// readings give the same six digits. The recogniser's own confidence is no help here:
// its wrong readings score as high as its right ones.

#include <array>
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

// How the top of a digit looks: a 7's bar runs across the digit (half its height wide
// or more), a 1's tip is narrow (two fifths of it or less); other shapes tell nothing.
enum class DigitTop { Unclear, Bar, Tip };

// The recogniser's commonest mistake on these cards is a 7 read as 1 (on some
// typefaces at every scale and threshold). Two six-digit readings that differ only
// where one says 7 and the other 1 are settled digit by digit by the shape of that
// digit's top: the settled number, or empty when they differ otherwise or any such
// digit's shape does not say.
std::string SettleSevensAndOnes(std::string_view first, std::string_view second, const std::array<DigitTop, 6>& tops);

// The group mark is offered only when both readings give the same mark.
std::string JudgeGroupMarks(std::string_view first, std::string_view second);

}  // namespace luckyscope
