#include "imaging/sharpen.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "imaging/errors.h"
#include "imaging/rounding.h"

namespace qel {

void SharpenPicture(Picture& picture, float alpha) {
  const int w = picture.Width(), h = picture.Height();
  if (w <= 2 || h <= 2) throw Error(std::string(kSharpenTooSmall));
  if (!(alpha > 1.0f) || !(alpha < 6.0f)) throw Error(std::string(kSharpenBadAlpha));

  // The factors as 16.16 fixed point, rounded halves to even: for alpha 2, B = 13107
  // and A = 131072. Both products below stay under 2^31 (A x 255, B x 5 x 255).
  const float beta = static_cast<float>((static_cast<long double>(alpha) - 1) / 5);
  const auto b = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(beta) * 65536));
  const auto a = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(alpha) * 65536));

  // Everything is read from the unchanged picture and written to the result; the first
  // and last rows are copied whole, the inner rows' first and last pixels below.
  Picture result;
  result.SetSizeUninitialized(w, h);
  const std::size_t stride = picture.RowSize();
  const std::uint8_t* const in = picture.Row(0);
  std::uint8_t* const out = result.Row(0);
  std::memcpy(out, in, stride);
  std::memcpy(out + (h - 1) * stride, in + (h - 1) * stride, stride);

  const std::size_t last = 3 * std::size_t(w - 1);
  for (int y = 1; y < h - 1; ++y) {
    const std::uint8_t* above = in + (y - 1) * stride;
    const std::uint8_t* row = above + stride;
    const std::uint8_t* below = row + stride;
    std::uint8_t* target = out + y * stride;
    // The first and last pixel, and the padding so that no byte of the result is left
    // uninitialised.
    std::memcpy(target, row, 3);
    std::memcpy(target + last, row + last, stride - last);
    for (std::size_t i = 3; i < last; ++i) {
      const std::int32_t c = row[i];
      const std::int32_t sum = above[i] + row[i - 3] + c + row[i + 3] + below[i];
      const std::int32_t v = ((a * c + 32767) >> 16) - ((b * sum + 32767) >> 16);
      target[i] = ClampToByte(v);
    }
  }
  result.SetPalette(picture.GetPalette());
  result.SetTransparent(false);
  picture.Assign(std::move(result));
}

void AntiAliasPicture(Picture& picture) {
  const int w = picture.Width(), h = picture.Height();
  if (w < 3 || h < 3) return;  // no inner pixels
  for (int y = 1; y < h - 1; ++y) {
    const std::uint8_t* above = picture.Row(y - 1);
    std::uint8_t* row = picture.Row(y);
    const std::uint8_t* below = picture.Row(y + 1);
    for (std::size_t i = 3; i < 3 * std::size_t(w - 1); ++i) {
      row[i] = static_cast<std::uint8_t>((above[i] + below[i] + row[i - 3] + row[i + 3]) >> 2);
    }
  }
}

}  // namespace qel
