// The image loader's first look at a file, on any bytes: the kind and the stated size
// are read without reading past the bytes, no size is negative, and a header the check
// lets through to the decoders states a size within the limits.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/image_header.h"
#include "tests/fuzz/fuzz_support.h"

using namespace luckyscope;
using namespace luckyscope::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const ImageHeader header = ReadImageHeader(bytes);
  Check(header.width >= 0 && header.height >= 0, "a negative size");
  Check(header.kind != ImageKind::Unknown || (header.width == 0 && header.height == 0), "a size without a kind");
  if (CheckImageHeader(header) == ImageCheck::Fine) {
    Check(header.kind != ImageKind::Unknown, "an unknown kind let through");
    Check(header.width <= kMaxImageSide && header.height <= kMaxImageSide, "a side over the limit let through");
    Check(header.width * header.height <= kMaxImagePixels, "a size over the limit let through");
  }
  return 0;
}
