#include "scan/number_reading.h"

#include <vector>

namespace luckyscope {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsSpace(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

}  // namespace

std::string AcceptSixDigits(std::string_view text) {
  const auto words = Words(text);
  if (words.size() != 1 || words[0].size() != 6) return {};
  for (char c : words[0]) {
    if (c < '0' || c > '9') return {};
  }
  return std::string(words[0]);
}

std::string AcceptGroupMark(std::string_view text) {
  const auto words = Words(text);
  if (words.size() != 1 || words[0].size() != 1) return {};
  const char c = words[0][0];
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return std::string(words[0]);
  return {};
}

NumberVerdict JudgeReadings(std::string_view first, std::string_view second, std::string_view standIn) {
  const std::string a = AcceptSixDigits(first);
  const std::string b = AcceptSixDigits(second);
  const std::string c = AcceptSixDigits(standIn);
  NumberVerdict verdict;
  const std::string& taken = a.empty() ? c : a;
  verdict.number = taken.empty() ? b : taken;
  verdict.agreed = !taken.empty() && taken == b;
  return verdict;
}

std::string SettleSevensAndOnes(std::string_view first, std::string_view second, const std::array<DigitTop, 6>& tops) {
  const std::string a = AcceptSixDigits(first);
  const std::string b = AcceptSixDigits(second);
  if (a.empty() || b.empty()) return {};
  std::string settled = a;
  for (std::size_t i = 0; i < settled.size(); ++i) {
    if (a[i] == b[i]) continue;
    if ((a[i] != '7' || b[i] != '1') && (a[i] != '1' || b[i] != '7')) return {};
    if (tops[i] == DigitTop::Unclear) return {};
    settled[i] = tops[i] == DigitTop::Bar ? '7' : '1';
  }
  return settled;
}

std::string JudgeGroupMarks(std::string_view first, std::string_view second) {
  const std::string a = AcceptGroupMark(first);
  return !a.empty() && a == AcceptGroupMark(second) ? a : std::string();
}

}  // namespace luckyscope
