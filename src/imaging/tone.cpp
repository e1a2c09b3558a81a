#include "imaging/tone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "imaging/rounding.h"

namespace qel {

namespace {

constexpr long double kToneAmountLimit = 255 * 255;

using ByteTable = std::array<std::uint8_t, 256>;

// Applies a table to every byte of every pixel (the row padding is left alone).
void MapBytes(Picture& picture, const ByteTable& table) {
  const std::size_t bytes = 3 * std::size_t(picture.Width());
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* row = picture.Row(y);
    for (std::size_t i = 0; i < bytes; ++i) row[i] = table[row[i]];
  }
}

// The formulas of each operation for one byte c. Integer division truncates toward
// zero, also for the negative products of a negative amount.
template <typename Formula>
ByteTable MakeTable(Formula formula) {
  ByteTable table{};
  for (int c = 0; c < 256; ++c) table[std::size_t(c)] = ClampToByte(formula(c));
  return table;
}

}  // namespace

int ToneAmount(int percent) {
  if (percent == 100) return 255;
  const long double amount = std::trunc(static_cast<long double>(percent) / 100 * 255);
  // From 255 x 255 on every formula below saturates already; the limit keeps the
  // products inside int for any percent.
  return static_cast<int>(std::clamp(amount, -kToneAmountLimit, kToneAmountLimit));
}

void LightenPicture(Picture& picture, int percent) {
  const int amount = ToneAmount(percent);
  MapBytes(picture, MakeTable([amount](int c) { return c + (255 - c) * amount / 255; }));
}

void DarkenPicture(Picture& picture, int percent) {
  const int amount = ToneAmount(percent);
  MapBytes(picture, MakeTable([amount](int c) { return c - c * amount / 255; }));
}

void ContrastPicture(Picture& picture, int percent) {
  const int amount = ToneAmount(percent);
  MapBytes(picture, MakeTable([amount](int c) {
             const int d = std::abs(127 - c);
             return c > 127 ? c + d * amount / 255 : c - d * amount / 255;
           }));
}

void GrayPicture(Picture& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) {
      // The weights sum to 1, so the grey never leaves 0..255.
      const long double grey = 0.3L * p[2] + 0.59L * p[1] + 0.11L * p[0];
      const auto v = ClampToByte(static_cast<std::int32_t>(RoundHalfEven(grey)));
      p[0] = p[1] = p[2] = v;
    }
  }
}

void SepiaPicture(Picture& picture, std::uint8_t depth) {
  // Computed in int, so depths above 127 saturate at 255 like the smaller ones.
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) {
      const int average = (p[0] + p[1] + p[2]) / 3;
      p[0] = static_cast<std::uint8_t>(average);
      p[1] = static_cast<std::uint8_t>(std::min(average + depth, 255));
      p[2] = static_cast<std::uint8_t>(std::min(average + 2 * depth, 255));
    }
  }
}

}  // namespace qel
