#include "core/text_util.h"

#include <climits>
#include <cstring>

namespace luckyscope {

namespace {

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

int ReadLenientInt(const char* text) {
  if (text == nullptr) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulated as a negative number so that INT_MIN itself fits.
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 - (*p - '0');
    if (value < static_cast<long long>(INT_MIN)) {
      value = static_cast<long long>(INT_MIN) - 1;  // held just past the range
    }
  }
  if (negative) return value < INT_MIN ? INT_MIN : static_cast<int>(value);
  return value < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-value);
}

std::size_t CopyCut(char* dst, std::size_t size, const char* src) {
  if (size == 0) return 0;
  std::size_t n = src == nullptr ? 0 : strnlen(src, size - 1);
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n;
}

bool CopyCutCharacters(char* dst, std::size_t size, const char* src) {
  if (size == 0) return src != nullptr && src[0] != '\0';
  const std::size_t length = src == nullptr ? 0 : std::strlen(src);
  std::size_t n = 0;
  while (n < length) {
    const unsigned char b = static_cast<unsigned char>(src[n]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    const std::size_t step = lead && n + 1 < length ? 2 : 1;
    if (n + step > size - 1) break;
    n += step;
  }
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n < length;
}

bool EndsWithNoCase(const char* text, const char* suffix) {
  std::size_t n = std::strlen(text);
  std::size_t m = std::strlen(suffix);
  if (m > n) return false;
  const unsigned char* a = reinterpret_cast<const unsigned char*>(text) + (n - m);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(suffix);
  for (std::size_t i = 0; i < m; ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace luckyscope
