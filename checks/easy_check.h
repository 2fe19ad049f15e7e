#pragma once
// The judging behind the easy check: one typed ticket against every winning pair, the
// last-two-digits pre-check, the titles text of a hit, and the easy-check log line.
// Plain C++ on the store's read operations; texts are CP932 byte strings.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/data_core.h"
#include "core/lottery_store.h"
#include "core/settings_file.h"

namespace luckyscope {

struct EasyVerdict {
  int matches = 0;            // matching pairs over all winning entries
  std::uint32_t entries = 0;  // bit j: winning entry j+1 has at least one matching pair
  bool sureHit = false;       // last-two-digits step: a matching pair such as *12
};

// Every pair of every winning entry, in registration order: the group (value) against
// the pair's group (pattern), then the number against the pair's number. Full-width
// digits and asterisks count as their half-width forms on both sides, since a file
// may hold either and the boxes fold what is typed.
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

// What the user sees and hears of one check. The keyboard check and the camera check
// show the same verdict in the same way.
enum class VerdictKind {
  Hit,    // red, the hit cue
  Miss,   // the style's own colours, the miss cue
  Maybe,  // yellow, no cue: the last two digits match a pair that needs more digits
};

struct TicketVerdict {
  VerdictKind kind = VerdictKind::Miss;
  std::string text;    // the result box: "group number 当たり！ titles", "... はずれ！", ...
  std::string result;  // the log's result field: the titles of a hit, "×" for a miss
  std::string group;   // the log's group field: empty when the group was "*"
  std::string number;  // the number as judged
};

// The full check of a ticket (group and number already trimmed; full-width digits are
// folded for the check, the text and the log).
TicketVerdict JudgeFullTicket(const LotteryStore& store, std::string group, std::string number);

// The last-two-digits step: a miss, a sure hit, or a maybe that asks for the upper
// four digits. The text starts with "* " and the two digits.
TicketVerdict JudgeLastTwo(const LotteryStore& store, std::string lastTwo);

// The result box's background for a verdict as 0xRRGGBB, or kStyleColour for the
// style's own. The verdict colours always come with black text, so that they stay
// readable under a dark colour scheme.
inline constexpr std::uint32_t kStyleColour = 0xFFFFFFFFu;
std::uint32_t VerdictColour(VerdictKind kind);

// The cue file for a verdict: the hit or the miss sound of the settings, or null for a
// maybe (which stops a playing cue and plays none).
const char* VerdictCue(const SystemSettings& settings, VerdictKind kind);

// The log counter runs 1..10000 and then starts again at 1.
inline constexpr int kMaxLogNumber = 10000;
int NextLogNumber(int counter);

// The log file of the settings, resolved against the base folder into `path` (empty:
// no log, or a name too long for a path). While no log is set the counter starts
// again; otherwise it keeps its value, so numbering goes on across showings.
void ResolveLogFile(const DataCore& core, const SystemSettings& settings, char (&path)[kPathSize], int& counter);

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
