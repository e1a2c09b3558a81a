// Orientation tags 1-8 turn a bitmap upright, in packed and byte-sized pixel formats.
#include <gtest/gtest.h>

#include <string>

#include "import/framework/bitmap.h"

namespace qel {
namespace {

// Makes the bitmap the 3 x 2 picture "abc/def" in the given format, pixel values 1..6.
void FillLetters(TBitmap& bitmap, TPixelFormat format) {
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const int v = 1 + y * 3 + x;
      std::uint8_t* row = bitmap.ScanLine(y);
      if (format == TPixelFormat::pf4bit)
        row[x / 2] = std::uint8_t(x % 2 ? (row[x / 2] & 0xF0) | v : (row[x / 2] & 0x0F) | (v << 4));
      else
        row[3 * x] = std::uint8_t(v);
    }
  }
}

std::string Read(const TBitmap& bitmap) {
  std::string text;
  for (int y = 0; y < bitmap.Height(); ++y) {
    if (y) text += '/';
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t* row = bitmap.ScanLine(y);
      const int v = bitmap.PixelFormat() == TPixelFormat::pf4bit
                        ? (x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4)
                        : row[3 * x];
      text += char('a' + v - 1);
    }
  }
  return text;
}

TEST(BitmapOrientation, EveryTagShowsThePictureUpright) {
  const char* expected[] = {"abc/def",  "abc/def",  "cba/fed",  "fed/cba", "def/abc",
                            "ad/be/cf", "da/eb/fc", "fc/eb/da", "cf/be/ad"};
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf4bit}) {
    for (int orientation = 0; orientation <= 8; ++orientation) {
      TBitmap bitmap;
      FillLetters(bitmap, format);
      bitmap.ApplyOrientation(orientation);
      EXPECT_EQ(Read(bitmap), expected[orientation]) << "orientation " << orientation;
    }
  }
}

}  // namespace
}  // namespace qel
