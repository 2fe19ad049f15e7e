// The acceptance rule: one word of exactly six digits, and two readings that agree.

#include "scan/number_reading.h"

#include <gtest/gtest.h>

namespace luckyscope {
namespace {

TEST(NumberReading, AcceptsOnlyOneWordOfSixDigits) {
  struct Case {
    const char* text;
    const char* accepted;
  } const cases[] = {
      {"123456", "123456"},
      {"012345\n", "012345"},
      {"  987650 \n\n", "987650"},
      {"12345", ""},
      {"1234567", ""},
      {"123 456", ""},
      {"123456 7", ""},
      {"A 123456", ""},
      {"12345Q", ""},
      {"", ""},
      {"\n", ""},
      {"\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x93"
       "456",
       ""},
      {"12-3456", ""},
      {"123456.", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(AcceptSixDigits(c.text), c.accepted) << '"' << c.text << '"';
}

TEST(NumberReading, TakesANumberWithoutALookOnlyWhenBothReadingsAgree) {
  struct Case {
    const char* first;
    const char* second;
    const char* number;
    bool agreed;
    const char* standIn = "";
  } const cases[] = {
      {"123456\n", "123456", "123456", true},  // the same six digits
      {"123456", "128456", "123456", false},   // disagree: the first is shown, marked
      {"12345", "123456", "123456", false},    // only the second is six digits
      {"123456", "1234567", "123456", false},  // only the first is six digits
      {"12345", "1234", "", false},            // neither
      {"123 456", "123 456", "", false},       // agreeing, but not one word
      // A stand-in for a first reading that was not six digits; it never overrules one
      // that was.
      {"7122843", "722843", "722843", true, "722843"},
      {"12284", "", "122843", false, "122843"},
      {"12284", "722843", "122843", false, "122843"},
      {"779503", "179503", "779503", false, "179503"},
  };
  for (const auto& c : cases) {
    const NumberVerdict verdict = JudgeReadings(c.first, c.second, c.standIn);
    EXPECT_EQ(verdict.number, c.number) << c.first << " / " << c.second;
    EXPECT_EQ(verdict.agreed, c.agreed) << c.first << " / " << c.second;
  }
}

TEST(NumberReading, SettlesSevensReadAsOnesByTheShapeOfTheDigitsTop) {
  constexpr auto U = DigitTop::Unclear, B = DigitTop::Bar, T = DigitTop::Tip;
  struct Case {
    const char* first;
    const char* second;
    std::array<DigitTop, 6> tops;
    const char* settled;
  } const cases[] = {
      {"122843", "722843", {B, U, U, U, U, U}, "722843"},  // a leading 7 read as 1
      {"779503", "179503", {B, B, U, U, U, U}, "779503"},
      {"417377", "477377", {U, T, U, U, U, U}, "417377"},  // a 1 read as 7
      {"122843", "722843", {U, B, B, B, B, B}, ""},        // the digit's shape does not say
      {"122843", "722849", {B, U, U, U, U, B}, ""},        // another difference besides
      {"122843", "72284", {B, B, B, B, B, B}, ""},         // not two numbers
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettleSevensAndOnes(c.first, c.second, c.tops), c.settled) << c.first << " / " << c.second;
  }
}

TEST(NumberReading, OffersAGroupMarkOnlyWhenBothReadingsGiveTheSameOne) {
  struct Case {
    const char* first;
    const char* second;
    const char* group;
  } const cases[] = {
      {"A\n", "A", "A"}, {"7", "7\n", "7"}, {"A", "B", ""}, {"A", "", ""},
      {"AB", "AB", ""},  {"a", "a", ""},    {"", "", ""},   {"-", "-", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeGroupMarks(c.first, c.second), c.group) << c.first << " / " << c.second;
}

}  // namespace
}  // namespace luckyscope
