#include "imaging/tone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "imaging/rounding.h"
#include "imaging/row_split.h"

namespace qel {

namespace {

constexpr long double kToneAmountLimit = 255 * 255;

using ByteTable = std::array<std::uint8_t, 256>;

// Applies a table to every byte of every pixel (the row padding is left alone).
void MapBytes(Picture& picture, const ByteTable& table) {
  const std::size_t bytes = 3 * std::size_t(picture.Width());
  ForEachRow(picture.Width(), picture.Height(), [&](int y) {
    std::uint8_t* row = picture.Row(y);
    for (std::size_t i = 0; i < bytes; ++i) row[i] = table[row[i]];
  });
}

// The grey of a pixel: 0.3 red + 0.59 green + 0.11 blue in long double, rounded halves
// to even. That value lies within 1e-15 of s / 100 with s = 30 red + 59 green + 11 blue,
// an integer; unless s ends in 50 it is at least 0.01 from a half, and rounding it is
// rounding s / 100. Only the pixels whose s ends in 50 need the long double sum, whose
// own rounding error then decides which way they go.
std::uint8_t GreyOf(const std::uint8_t* p) {
  const int s = 30 * p[2] + 59 * p[1] + 11 * p[0];
  if (s % 100 != 50) return static_cast<std::uint8_t>((s + 50) / 100);
  // The weights sum to 1, so the grey never leaves 0..255.
  const long double grey = 0.3L * p[2] + 0.59L * p[1] + 0.11L * p[0];
  return ClampToByte(static_cast<std::int32_t>(RoundHalfEven(grey)));
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
  ForEachRow(picture.Width(), picture.Height(), [&](int y) {
    std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) p[0] = p[1] = p[2] = GreyOf(p);
  });
}

void SepiaPicture(Picture& picture, std::uint8_t depth) {
  // Computed in int, so depths above 127 saturate at 255 like the smaller ones. The
  // green and the red follow from the average alone.
  ByteTable green{}, red{};
  for (int average = 0; average < 256; ++average) {
    green[std::size_t(average)] = static_cast<std::uint8_t>(std::min(average + depth, 255));
    red[std::size_t(average)] = static_cast<std::uint8_t>(std::min(average + 2 * depth, 255));
  }
  ForEachRow(picture.Width(), picture.Height(), [&](int y) {
    std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) {
      const int average = (p[0] + p[1] + p[2]) / 3;
      p[0] = static_cast<std::uint8_t>(average);
      p[1] = green[std::size_t(average)];
      p[2] = red[std::size_t(average)];
    }
  });
}

}  // namespace qel
