#include "scan/image_header.h"

#include <cstddef>

namespace luckyscope {
namespace {

// Reads of fixed-width numbers that answer 0 past the end of the bytes, so that a
// cut header reads as one that states no size.
std::uint32_t Byte(std::string_view b, std::size_t at) {
  return at < b.size() ? static_cast<unsigned char>(b[at]) : 0u;
}
std::uint32_t Be16(std::string_view b, std::size_t at) { return Byte(b, at) << 8 | Byte(b, at + 1); }
std::uint32_t Le16(std::string_view b, std::size_t at) { return Byte(b, at + 1) << 8 | Byte(b, at); }
std::uint32_t Be32(std::string_view b, std::size_t at) { return Be16(b, at) << 16 | Be16(b, at + 2); }
std::uint32_t Le32(std::string_view b, std::size_t at) { return Le16(b, at + 2) << 16 | Le16(b, at); }
std::uint32_t Le24(std::string_view b, std::size_t at) { return Byte(b, at + 2) << 16 | Le16(b, at); }

// The bytes at `at`, fewer (or none) past the end.
std::string_view Slice(std::string_view b, std::size_t at, std::size_t count) {
  return at <= b.size() ? b.substr(at, count) : std::string_view();
}
bool Starts(std::string_view b, std::string_view magic) { return b.substr(0, magic.size()) == magic; }

void Png(std::string_view b, ImageHeader& h) {
  if (Slice(b, 12, 4) != "IHDR") return;
  h.width = Be32(b, 16);
  h.height = Be32(b, 20);
}

// The size is in the first start-of-frame segment; segments before it are skipped by
// their lengths, and the search stops at the start of the picture data.
void Jpeg(std::string_view b, ImageHeader& h) {
  std::size_t at = 2;
  while (at + 4 <= b.size()) {
    if (Byte(b, at) != 0xFF) return;
    const std::uint32_t marker = Byte(b, at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      h.height = Be16(b, at + 5);
      h.width = Be16(b, at + 7);
      return;
    }
    const std::uint32_t length = Be16(b, at + 2);
    if (length < 2) return;
    at += 2 + length;
  }
}

// The first directory's width (tag 256) and length (257), short or long.
void Tiff(std::string_view b, ImageHeader& h) {
  const bool little = b[0] == 'I';
  auto u16 = [&](std::size_t at) { return little ? Le16(b, at) : Be16(b, at); };
  auto u32 = [&](std::size_t at) { return little ? Le32(b, at) : Be32(b, at); };
  const std::size_t dir = u32(4);
  if (dir < 8 || dir + 2 > b.size()) return;
  const std::size_t entries = u16(dir);
  for (std::size_t i = 0; i < entries; ++i) {
    const std::size_t at = dir + 2 + 12 * i;
    if (at + 12 > b.size()) return;
    const std::uint32_t tag = u16(at), type = u16(at + 2);
    if (tag != 256 && tag != 257) continue;
    const std::int64_t value = type == 3 ? u16(at + 8) : type == 4 ? u32(at + 8) : 0;
    (tag == 256 ? h.width : h.height) = value;
  }
}

void Bmp(std::string_view b, ImageHeader& h) {
  const auto width = static_cast<std::int32_t>(Le32(b, 18));
  const auto height = static_cast<std::int32_t>(Le32(b, 22));  // negative: stored top row first
  h.width = width < 0 ? -static_cast<std::int64_t>(width) : width;
  h.height = height < 0 ? -static_cast<std::int64_t>(height) : height;
}

void WebP(std::string_view b, ImageHeader& h) {
  const std::string_view chunk = Slice(b, 12, 4);
  if (chunk == "VP8X") {
    h.width = Le24(b, 24) + 1;
    h.height = Le24(b, 27) + 1;
  } else if (chunk == "VP8L") {
    const std::uint32_t bits = Le32(b, 21);
    h.width = (bits & 0x3FFF) + 1;
    h.height = (bits >> 14 & 0x3FFF) + 1;
  } else if (chunk == "VP8 ") {
    h.width = Le16(b, 26) & 0x3FFF;
    h.height = Le16(b, 28) & 0x3FFF;
  }
}

// "P1" to "P6", then width and height in decimal among blanks and comments.
void Pnm(std::string_view b, ImageHeader& h) {
  std::size_t at = 2;
  std::int64_t* fields[] = {&h.width, &h.height};
  for (std::int64_t* field : fields) {
    for (;;) {
      while (at < b.size() && (b[at] == ' ' || b[at] == '\t' || b[at] == '\r' || b[at] == '\n')) ++at;
      if (at >= b.size() || b[at] != '#') break;
      while (at < b.size() && b[at] != '\n') ++at;
    }
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; at < b.size() && b[at] >= '0' && b[at] <= '9' && digits < 12; ++at, ++digits) value = value * 10 + (b[at] - '0');
    if (digits == 0) {
      h.width = h.height = 0;
      return;
    }
    *field = value;
  }
}

}  // namespace

ImageHeader ReadImageHeader(std::string_view b) {
  ImageHeader h;
  if (Starts(b, "\x89PNG\r\n\x1a\n")) {
    h.kind = ImageKind::Png;
    Png(b, h);
  } else if (Starts(b, "\xFF\xD8\xFF")) {
    h.kind = ImageKind::Jpeg;
    Jpeg(b, h);
  } else if (Starts(b, std::string_view("II*\0", 4)) || Starts(b, std::string_view("MM\0*", 4))) {
    h.kind = ImageKind::Tiff;
    Tiff(b, h);
  } else if (Starts(b, std::string_view("II+\0", 4)) || Starts(b, std::string_view("MM\0+", 4))) {
    h.kind = ImageKind::Tiff;  // the large variant: its size is left to the decoder's own limit
  } else if (Starts(b, "BM") && b.size() >= 26) {
    h.kind = ImageKind::Bmp;
    Bmp(b, h);
  } else if (Starts(b, "GIF87a") || Starts(b, "GIF89a")) {
    h.kind = ImageKind::Gif;
    h.width = Le16(b, 6);
    h.height = Le16(b, 8);
  } else if (Starts(b, "RIFF") && Slice(b, 8, 4) == "WEBP") {
    h.kind = ImageKind::WebP;
    WebP(b, h);
  } else if (b.size() >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6') {
    h.kind = ImageKind::Pnm;
    Pnm(b, h);
  }
  return h;
}

ImageCheck CheckImageHeader(const ImageHeader& header) {
  if (header.kind == ImageKind::Unknown) return ImageCheck::NotAnImage;
  if (header.width > kMaxImageSide || header.height > kMaxImageSide) return ImageCheck::TooLarge;
  if (header.width * header.height > kMaxImagePixels) return ImageCheck::TooLarge;
  return ImageCheck::Fine;
}

}  // namespace luckyscope
