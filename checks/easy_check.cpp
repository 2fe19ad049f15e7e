#include "checks/easy_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "core/file_io.h"
#include "core/matching.h"
#include "core/ticket_intake.h"

namespace luckyscope {
namespace {

// Verdict words in CP932: 当たり！, はずれ！, ×, 当たりかも？(上4桁入力).
constexpr const char* kHitWord = "\x93\x96\x82\xBD\x82\xE8\x81\x49";
constexpr const char* kMissWord = "\x82\xCD\x82\xB8\x82\xEA\x81\x49";
constexpr const char* kMissResult = "\x81\x7E";
constexpr const char* kMaybeWord = "\x93\x96\x82\xBD\x82\xE8\x82\xA9\x82\xE0\x81\x48(\x8F\xE3" "4\x8C\x85\x93\xFC\x97\xCD)";

// A pair with full-width digits and asterisks folded to half-width ones.
struct FoldedPair {
  std::string group;
  std::string number;
};

// Visits every pair of every winning entry in registration order, folded.
template <typename Visit>
void ForEachPair(const LotteryStore& store, Visit visit) {
  WinningEntry entry;
  FoldedPair folded;
  const int count = std::min(store.WinningCount(), kMaxWinningEntries);
  for (int regNo = 1; regNo <= count; ++regNo) {
    if (store.GetWinningEntry(regNo, entry) != 0) continue;
    const int pairs = ClampPairCount(entry.pairCount);
    for (int k = 0; k < pairs; ++k) {
      folded.group.assign(entry.pairs[k].group, ::strnlen(entry.pairs[k].group, kFieldSize - 1));
      folded.number.assign(entry.pairs[k].number, ::strnlen(entry.pairs[k].number, kFieldSize - 1));
      FoldFullWidthDigits(folded.group);
      FoldFullWidthDigits(folded.number);
      visit(regNo - 1, folded);
    }
  }
}

std::string Folded(const char* text) {
  std::string value = text;
  FoldFullWidthDigits(value);
  return value;
}

bool Matches(const char* value, const char* pattern) {
  int result = -1;
  MatchPattern(value, pattern, result);
  return result == 0;
}

}  // namespace

EasyVerdict JudgeTicket(const LotteryStore& store, const char* group, const char* number) {
  EasyVerdict verdict;
  const std::string g = Folded(group);
  const std::string n = Folded(number);
  ForEachPair(store, [&](int index, const FoldedPair& pair) {
    if (Matches(g.c_str(), pair.group.c_str()) && Matches(n.c_str(), pair.number.c_str())) {
      ++verdict.matches;
      verdict.entries |= 1u << index;
    }
  });
  return verdict;
}

EasyVerdict JudgeLastTwoDigits(const LotteryStore& store, const char* lastTwo) {
  EasyVerdict verdict;
  const std::string typed = Folded(lastTwo);
  ForEachPair(store, [&](int index, const FoldedPair& pair) {
    const std::size_t length = pair.number.size();
    if (length < 2) return;
    if (!Matches(typed.c_str(), pair.number.c_str() + length - 2)) return;
    ++verdict.matches;
    verdict.entries |= 1u << index;
    if (length < 4 && pair.number[0] == '*') verdict.sureHit = true;
  });
  return verdict;
}

std::string TitlesText(const LotteryStore& store, const EasyVerdict& verdict) {
  std::string text;
  if (verdict.matches <= 0) return text;
  const int share = kTextSize / verdict.matches - 2;
  WinningEntry entry;
  const int count = std::min(store.WinningCount(), kMaxWinningEntries);
  for (int regNo = 1; regNo <= count; ++regNo) {
    if ((verdict.entries & (1u << (regNo - 1))) == 0) continue;
    if (store.GetWinningEntry(regNo, entry) != 0) continue;
    if (share > 0) {
      const std::size_t length = ::strnlen(entry.title, kTextSize - 1);
      text.append(entry.title, std::min(length, static_cast<std::size_t>(share)));
    }
    text.push_back(' ');
  }
  if (!text.empty()) text.pop_back();
  return text;
}

TicketVerdict JudgeFullTicket(const LotteryStore& store, std::string group, std::string number) {
  FoldFullWidthDigits(group);
  FoldFullWidthDigits(number);
  TicketVerdict shown;
  shown.group = group == "*" ? std::string() : group;
  shown.number = number;
  shown.text = group + " " + number + " ";
  const EasyVerdict verdict = JudgeTicket(store, group.c_str(), number.c_str());
  if (verdict.matches > 0) {
    shown.kind = VerdictKind::Hit;
    shown.result = TitlesText(store, verdict);
    shown.text.append(kHitWord).append(" ").append(shown.result);
  } else {
    shown.kind = VerdictKind::Miss;
    shown.result = kMissResult;
    shown.text.append(kMissWord);
  }
  return shown;
}

TicketVerdict JudgeLastTwo(const LotteryStore& store, std::string lastTwo) {
  FoldFullWidthDigits(lastTwo);
  TicketVerdict shown;
  shown.number = lastTwo;
  shown.text = "* " + lastTwo + " ";
  const EasyVerdict verdict = JudgeLastTwoDigits(store, lastTwo.c_str());
  if (verdict.matches == 0) {
    shown.kind = VerdictKind::Miss;
    shown.result = kMissResult;
    shown.text.append(kMissWord);
  } else if (verdict.matches == 1 && verdict.sureHit) {
    shown.kind = VerdictKind::Hit;
    shown.result = TitlesText(store, verdict);
    shown.text.append(kHitWord).append(" ").append(shown.result);
  } else {
    shown.kind = VerdictKind::Maybe;
    shown.text.append(kMaybeWord);
  }
  return shown;
}

std::uint32_t VerdictColour(VerdictKind kind) {
  switch (kind) {
    case VerdictKind::Hit:
      return 0xFF0000u;
    case VerdictKind::Maybe:
      return 0xFFFF00u;
    case VerdictKind::Miss:
      break;
  }
  return kStyleColour;
}

const char* VerdictCue(const SystemSettings& settings, VerdictKind kind) {
  switch (kind) {
    case VerdictKind::Hit:
      return settings.hitSoundFile;
    case VerdictKind::Miss:
      return settings.missSoundFile;
    case VerdictKind::Maybe:
      break;
  }
  return nullptr;
}

int NextLogNumber(int counter) {
  const int next = counter + 1;
  return next > kMaxLogNumber || next < 1 ? 1 : next;
}

void ResolveLogFile(const DataCore& core, const SystemSettings& settings, char (&path)[kPathSize], int& counter) {
  if (settings.logFile[0] == '\0') {
    counter = 0;
    path[0] = '\0';
  } else if (core.ResolveDataPath(settings.logFile, path) != 0) {
    path[0] = '\0';
  }
}

std::string FormatLogLine(int counter, std::string_view group, std::string_view number, std::string_view result) {
  char no[16];
  std::snprintf(no, sizeof no, "No.%05d", counter);
  std::string line;
  line.reserve(group.size() + number.size() + result.size() + 32);
  line.append("\"").append(no).append("\",\"");
  line.append(group).append("\",\"");
  line.append(number).append("\",\"");
  line.append(result).append("\"\r\n");
  return line;
}

int AppendLogLine(const char* path, std::string_view line) {
  if (path == nullptr || path[0] == '\0') return kLogNotOpened;
  // The rules of every file the program writes: links and other users' files in shared
  // folders refused, only a regular file taken (a FIFO must not hang the check).
  int reason = 0;
  const int fd = OpenForAppend(path, reason);
  if (fd < 0) return kLogNotOpened;
  bool ok = true;
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      ok = false;
      break;
    }
  }
  if (::close(fd) != 0 && errno != EINTR) ok = false;
  return ok ? kLogAppended : kLogWriteFailed;
}

}  // namespace luckyscope
