#include "import/framework/coded_size.h"

#include <limits>
#include <string>

#include "imaging/errors.h"
#include "imaging/picture.h"

namespace qel {

namespace {

[[noreturn]] void TooLittleData(std::string_view format, std::int64_t width, std::int64_t height) {
  throw EInvalidGraphic(
      FormatMessage("Cannot load image. The %s file holds too little data for a picture of %s "
                    "x %s pixels.",
                    {format, std::to_string(width), std::to_string(height)}));
}

// a x b, or the largest value when that overflows.
std::uint64_t SaturatedProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a)
    return std::numeric_limits<std::uint64_t>::max();
  return a * b;
}

}  // namespace

void CheckCodedSize(std::string_view format, std::int64_t width, std::int64_t height, std::uint64_t available,
                    std::uint64_t pixels_per_byte) {
  CheckPictureSize(width, height);
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels > kPixelsAlwaysAllowed && pixels > SaturatedProduct(available, pixels_per_byte))
    TooLittleData(format, width, height);
}

void CheckCodedBytes(std::string_view format, std::int64_t width, std::int64_t height, std::uint64_t unpacked,
                     std::uint64_t available, std::uint64_t bytes_per_byte) {
  CheckPictureSize(width, height);
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels > kPixelsAlwaysAllowed && unpacked > SaturatedProduct(available, bytes_per_byte))
    TooLittleData(format, width, height);
}

}  // namespace qel
