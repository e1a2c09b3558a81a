// The readers' one rule for a declared alpha channel: what the file shows over white,
// associated alpha divided out first, an all-zero channel taken as absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "imaging/picture.h"
#include "import/framework/bitmap.h"

namespace qel {
namespace {

struct AlphaCase {
  const char* name;
  AlphaKind kind;
  std::array<std::uint8_t, 8> pixels;  // two BGRA pixels
  std::array<std::uint8_t, 6> drawn;   // both drawn over white
  bool transparent;
};

TEST(DeclaredAlpha, DrawsWhatTheFileShowsOverWhite) {
  const AlphaCase cases[] = {
      {"half-covered red, straight",
       AlphaKind::kUnassociated,
       {0, 0, 200, 128, 10, 20, 30, 255},
       {127, 127, 227, 10, 20, 30},
       true},
      {"half-covered red, premultiplied",
       AlphaKind::kAssociated,
       {0, 0, 100, 128, 10, 20, 30, 255},
       {127, 127, 227, 10, 20, 30},
       true},
      {"empty channel is no channel",
       AlphaKind::kAssociated,
       {1, 2, 3, 0, 4, 5, 6, 0},
       {1, 2, 3, 4, 5, 6},
       false},
      {"opaque everywhere",
       AlphaKind::kUnassociated,
       {1, 2, 3, 255, 4, 5, 6, 255},
       {1, 2, 3, 4, 5, 6},
       false},
      {"see-through pixel",
       AlphaKind::kAssociated,
       {0, 0, 0, 0, 4, 5, 6, 255},
       {255, 255, 255, 4, 5, 6},
       true},
  };
  for (const AlphaCase& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.SetSize(2, 1);
    std::copy(c.pixels.begin(), c.pixels.end(), bitmap.ScanLine(0));
    ApplyDeclaredAlpha(bitmap, c.kind);
    EXPECT_EQ(bitmap.Transparent(), c.transparent);
    Picture picture = NewPicture(2, 1, 0xFFFFFF);
    bitmap.Draw(picture, 0, 0);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(picture.Row(0)[i], c.drawn[std::size_t(i)], 1) << "byte " << i;
  }
}

}  // namespace
}  // namespace qel
