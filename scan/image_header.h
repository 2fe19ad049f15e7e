#pragma once
// What an image file says about itself in its first bytes: its kind and its size in
// pixels. The loader looks at them before any decoder sees the file, so that a file
// of no kind a scanner or camera writes (a vector drawing, a document) and an image
// whose stated size no scan or photo has are refused without being decoded. Standard
// C++ only: the header reader is fuzzed on its own.

#include <cstdint>
#include <string_view>

namespace luckyscope {

enum class ImageKind { Unknown, Png, Jpeg, Tiff, Bmp, Gif, WebP, Pnm };

struct ImageHeader {
  ImageKind kind = ImageKind::Unknown;
  // As stated by the header; 0 when the bytes given do not state it (a size that
  // comes after the part read, a kind that keeps it deep inside the file).
  std::int64_t width = 0;
  std::int64_t height = 0;
};

// An A3 sheet at 600 dpi is about 70 million pixels; a phone's largest photos about
// 50 million. Beyond these a decoded image would take gigabytes for nothing.
inline constexpr std::int64_t kMaxImagePixels = 80'000'000;
inline constexpr std::int64_t kMaxImageSide = 20'000;
// The largest file taken: a lossless A3 scan at 600 dpi in colour is about 200 MB.
inline constexpr std::int64_t kMaxImageFileBytes = 256LL * 1024 * 1024;

ImageHeader ReadImageHeader(std::string_view bytes);

enum class ImageCheck { Fine, NotAnImage, TooLarge };

// Fine for a known kind whose stated size (when it states one) lies within the limits.
ImageCheck CheckImageHeader(const ImageHeader& header);

}  // namespace luckyscope
