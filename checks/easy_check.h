#pragma once
// The judging behind the easy check: one typed ticket against every winning pair, the
// last-two-digits pre-check, the titles text of a hit, and the easy-check log line.
// Plain C++ on the store's read operations; texts are CP932 byte strings.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/lottery_store.h"

namespace luckyscope {

struct EasyVerdict {
  int matches = 0;            // matching pairs over all winning entries
  std::uint32_t entries = 0;  // bit j: winning entry j+1 has at least one matching pair
  bool sureHit = false;       // last-two-digits step: a matching pair such as *12
};

// Every pair of every winning entry, in registration order: the group (value) against
// the pair's group (pattern), then the number against the pair's number.
EasyVerdict JudgeTicket(const LotteryStore& store, const char* group, const char* number);

// Only the last two bytes of each pair's number count, as the pattern for `lastTwo`;
// a pair whose number is shorter than two bytes never matches and the groups are not
// looked at. A matching number shorter than four bytes that starts with '*' decides
// the ticket by its last two digits alone (a sure hit).
EasyVerdict JudgeLastTwoDigits(const LotteryStore& store, const char* lastTwo);

// The titles of the marked entries in registration order, each cut to 256/n-2 bytes
// (n = matching pairs, so two pairs in one entry halve its share), joined by one
// space. Nothing of a title is kept when the share is 0 or less. At most 255 bytes.
std::string TitlesText(const LotteryStore& store, const EasyVerdict& verdict);

// The log counter runs 1..10000 and then starts again at 1.
inline constexpr int kMaxLogNumber = 10000;
int NextLogNumber(int counter);

// One log line: "No.%05d", group, number and result, each in double quotes, joined by
// commas, ending in CR LF.
std::string FormatLogLine(int counter, std::string_view group, std::string_view number, std::string_view result);

// Results of AppendLogLine.
inline constexpr int kLogAppended = 0;
inline constexpr int kLogNotOpened = -1;
inline constexpr int kLogWriteFailed = -2;

// Opens `path` for appending (creating it when missing), writes `line` and closes it
// again: the file is never truncated. kLogNotOpened when it cannot be opened (a
// missing folder, no permission, a folder, a pipe nobody reads); kLogWriteFailed when
// the write or the close failed (a full disk).
int AppendLogLine(const char* path, std::string_view line);

}  // namespace luckyscope
