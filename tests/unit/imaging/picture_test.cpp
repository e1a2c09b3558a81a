#include <gtest/gtest.h>

#include "imaging/errors.h"
#include "imaging/picture.h"

namespace qel {
namespace {

TEST(Picture, RowsArePaddedToFourBytes) {
  Picture p = NewPicture(3, 2, kNoColor);
  EXPECT_EQ(p.RowSize(), 12u);  // 9 bytes of pixels, 3 of padding
  EXPECT_EQ(p.Row(1) - p.Row(0), 12);
  EXPECT_EQ(NewPicture(4, 1, kNoColor).RowSize(), 12u);
  EXPECT_EQ(NewPicture(1, 1, kNoColor).RowSize(), 4u);
  EXPECT_EQ(NewPicture(5, 1, kNoColor).RowSize(), 16u);
}

TEST(Picture, NewPictureIsWhiteUnlessFilled) {
  Picture white = NewPicture(3, 2, kNoColor);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(white.Row(y)[x], 255);
  // Red is 0x0000FF; in memory a pixel reads blue, green, red.
  Picture red = NewPicture(5, 3, 0x0000FF);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(red.Row(y)[3 * x], 0);
      EXPECT_EQ(red.Row(y)[3 * x + 1], 0);
      EXPECT_EQ(red.Row(y)[3 * x + 2], 255);
    }
  }
}

TEST(Picture, EmptyPictures) {
  Picture empty;
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(PictureRect(empty), (TRect{0, 0, 0, 0}));
  EXPECT_TRUE(NewPicture(0, 5, kNoColor).Empty());
  EXPECT_EQ(PictureRect(NewPicture(7, 4, kNoColor)), (TRect{0, 0, 7, 4}));
}

TEST(Picture, TransparentColourIsTheBottomLeftPixel) {
  Picture p = NewPicture(2, 2, 0x112233);
  p.SetPixel(0, 1, 0x00FF00);
  p.SetTransparent(true);
  EXPECT_EQ(p.TransparentColor(), 0x00FF00u);
}

TEST(Picture, FillAndOutline) {
  Picture p = NewPicture(4, 3, 0x000000);
  FillAndOutline(p, 0x0000FF, 0x00FF00);
  EXPECT_EQ(p.Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(p.Pixel(3, 2), 0x00FF00u);
  EXPECT_EQ(p.Pixel(1, 1), 0x0000FFu);
  EXPECT_EQ(p.Pixel(2, 1), 0x0000FFu);
  // No fill: the interior stays; no line: no outline.
  Picture q = NewPicture(3, 3, 0x123456);
  FillAndOutline(q, kNoColor, 0xABCDEF);
  EXPECT_EQ(q.Pixel(1, 1), 0x123456u);
  EXPECT_EQ(q.Pixel(0, 1), 0xABCDEFu);
  FillAndOutline(q, 0x010101, kNoColor);
  EXPECT_EQ(q.Pixel(0, 1), 0x010101u);
}

TEST(Picture, ClampToByte) {
  EXPECT_EQ(ClampToByte(-5), 0);
  EXPECT_EQ(ClampToByte(300), 255);
  EXPECT_EQ(ClampToByte(128), 128);
  EXPECT_EQ(ClampToByte(255), 255);
  EXPECT_EQ(ClampToByte(0), 0);
}

TEST(Picture, CopiesAreDeep) {
  Picture a = NewPicture(2, 2, 0x000000);
  a.SetTransparent(true);
  a.SetPalette({{1, 2, 3, 0}});
  Picture b = a;
  b.SetPixel(0, 0, 0xFFFFFF);
  EXPECT_EQ(a.Pixel(0, 0), 0u);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.GetPalette().size(), 1u);
}

TEST(Picture, RefusesSizesBeyondTheLimit) {
  Picture p;
  EXPECT_THROW(p.SetSize(70000, 70000), EOutOfResources);
  EXPECT_THROW(p.SetSize(-1, 5), EOutOfResources);
  EXPECT_NO_THROW(CheckPictureSize(30000, 30000));
}

}  // namespace
}  // namespace qel
