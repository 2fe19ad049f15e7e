#include "core/ticket_intake.h"

#include <cstring>
#include <unordered_map>

namespace luckyscope {

namespace {

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Whether a double-byte character starts at i: a lead byte with a trail byte after it.
// A lead byte before a quote or a line end is a broken character, and the quote stays a
// quote.
bool DoubleByteAt(const std::string& s, std::size_t i) {
  return i + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[i])) &&
         IsTrailByte(static_cast<unsigned char>(s[i + 1]));
}

}  // namespace

bool CleanFieldText(std::string& cp932) {
  std::string out;
  out.reserve(cp932.size());
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(cp932[i]);
    if (DoubleByteAt(cp932, i)) {
      out.append(cp932, i, 2);
      ++i;
    } else if (b == '"') {
      continue;
    } else {
      out.push_back(b == '\r' || b == '\n' ? ' ' : static_cast<char>(b));
    }
  }
  const bool changed = out != cp932;
  cp932.swap(out);
  return changed;
}

bool FoldFullWidthDigits(std::string& cp932) {
  std::string out;
  out.reserve(cp932.size());
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(cp932[i]);
    if (!DoubleByteAt(cp932, i)) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    const unsigned char t = static_cast<unsigned char>(cp932[i + 1]);
    if (b == 0x82 && t >= 0x4F && t <= 0x58) {
      out.push_back(static_cast<char>('0' + (t - 0x4F)));
    } else if (b == 0x81 && t == 0x96) {
      out.push_back('*');
    } else {
      out.append(cp932, i, 2);
    }
    ++i;
  }
  const bool changed = out != cp932;
  cp932.swap(out);
  return changed;
}

IntakeChanges PrepareIncomingTicket(std::string& name, std::string& group, std::string& number) {
  IntakeChanges changes;
  changes.cleaned = CleanFieldText(name);
  changes.cleaned = CleanFieldText(group) || changes.cleaned;
  changes.cleaned = CleanFieldText(number) || changes.cleaned;
  changes.folded = FoldFullWidthDigits(group);
  changes.folded = FoldFullWidthDigits(number) || changes.folded;
  return changes;
}

bool SameTicket(const char* groupA, const char* numberA, const char* groupB, const char* numberB) {
  if (std::strcmp(numberA, numberB) != 0) return false;
  return groupA[0] == '\0' || groupB[0] == '\0' || std::strcmp(groupA, groupB) == 0;
}

std::vector<bool> FindDuplicateTickets(const LotteryStore& store, const std::vector<SearchTarget>& incoming) {
  // Number -> the groups seen with it.
  std::unordered_multimap<std::string, std::string> seen;
  const int count = store.TargetCount();
  seen.reserve(static_cast<std::size_t>(count) + incoming.size());
  SearchTarget rec{};
  for (int regNo = 1; regNo <= count; ++regNo) {
    if (store.GetTarget(0, regNo, rec) == 0) seen.emplace(rec.number, rec.group);
  }
  std::vector<bool> duplicate(incoming.size(), false);
  for (std::size_t i = 0; i < incoming.size(); ++i) {
    const SearchTarget& ticket = incoming[i];
    const auto [first, last] = seen.equal_range(ticket.number);
    for (auto it = first; it != last && !duplicate[i]; ++it) {
      duplicate[i] = SameTicket(ticket.group, ticket.number, it->second.c_str(), it->first.c_str());
    }
    seen.emplace(ticket.number, ticket.group);
  }
  return duplicate;
}

}  // namespace luckyscope
