#include "checks/easy_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "core/file_io.h"
#include "core/matching.h"

namespace luckyscope {
namespace {

// Visits every pair of every winning entry in registration order.
template <typename Visit>
void ForEachPair(const LotteryStore& store, Visit visit) {
  WinningEntry entry;
  const int count = std::min(store.WinningCount(), kMaxWinningEntries);
  for (int regNo = 1; regNo <= count; ++regNo) {
    if (store.GetWinningEntry(regNo, entry) != 0) continue;
    const int pairs = ClampPairCount(entry.pairCount);
    for (int k = 0; k < pairs; ++k) visit(regNo - 1, entry.pairs[k]);
  }
}

bool Matches(const char* value, const char* pattern) {
  int result = -1;
  MatchPattern(value, pattern, result);
  return result == 0;
}

}  // namespace

EasyVerdict JudgeTicket(const LotteryStore& store, const char* group, const char* number) {
  EasyVerdict verdict;
  ForEachPair(store, [&](int index, const WinningPair& pair) {
    if (Matches(group, pair.group) && Matches(number, pair.number)) {
      ++verdict.matches;
      verdict.entries |= 1u << index;
    }
  });
  return verdict;
}

EasyVerdict JudgeLastTwoDigits(const LotteryStore& store, const char* lastTwo) {
  EasyVerdict verdict;
  ForEachPair(store, [&](int index, const WinningPair& pair) {
    const std::size_t length = ::strnlen(pair.number, kFieldSize - 1);
    if (length < 2) return;
    const char tail[3] = {pair.number[length - 2], pair.number[length - 1], '\0'};
    if (!Matches(lastTwo, tail)) return;
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

int NextLogNumber(int counter) {
  const int next = counter + 1;
  return next > kMaxLogNumber || next < 1 ? 1 : next;
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
