#pragma once
// The worked matching cases: a ticket value, a pattern, and whether they match.

namespace luckyscope::testing {

struct MatchCase {
  const char* value;
  const char* pattern;
  bool match;
};

inline constexpr MatchCase kWorkedCases[] = {
    {"123456", "123456", true},
    {"0123456", "123456", false},
    {"123456", "*3456", true},
    {"123456", "12*", true},
    {"123456", "1*6", true},
    {"", "*", true},
    {"", "", true},
    {"1", "", false},
    {"6", "*56", false},
    {"123", "12*23", true},
    {"5123", "*12*", true},
    {"12345", "1*3*5", true},
    {"123", "12*23*", true},
    {"1", "1*1*", false},
    {"11", "1*1*", true},
};

}  // namespace luckyscope::testing
