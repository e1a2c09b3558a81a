// TBitmap: a device-independent bitmap of any of the usual pixel formats, with a
// palette. It is the graphic of BMP files and the base of every reader that decodes
// into a bitmap (the import library's readers, JPEG 2000).
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/graphic.h"

namespace qel {

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Bits of one pixel in the format (0 for pfDevice and pfCustom).
int PixelFormatBits(TPixelFormat format);
// Bytes of one row: the bits of a row rounded up to a multiple of 32.
std::size_t BitmapRowSize(TPixelFormat format, int width);

class TBitmap : public TGraphic {
 public:
  TBitmap() = default;

  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // Reads a Windows or OS/2 BMP file (the platform's bitmap reader).
  void LoadFromStream(TStream& stream) override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Transparent() const override { return transparent_; }
  void SetTransparent(bool on) { transparent_ = on; }
  // The colour that a transparent bitmap leaves out when it draws itself: a fixed
  // colour, or kNoColor for that of the bottom-left pixel (the default).
  TColor TransparentColor() const { return transparent_color_; }
  void SetTransparentColor(TColor color) { transparent_color_ = color; }
  Palette GetPalette() const override { return palette_; }
  const Palette& PaletteRef() const { return palette_; }
  void SetPalette(Palette palette) { palette_ = std::move(palette); }

  TPixelFormat PixelFormat() const { return format_; }
  // Changing the format keeps the size; the pixels are made afresh.
  void SetPixelFormat(TPixelFormat format);
  // Sets width and height (checked against the picture limits); the pixels are made
  // afresh: palette index 0 for formats up to 8 bits, white for the others.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  // Empty bitmap: no pixels, size 0 x 0, the pixel format kept, no palette.
  void ReleaseHandle();

  // Row y from the top; BitmapRowSize(format, width) bytes.
  std::uint8_t* ScanLine(int y) { return data_.get() + std::size_t(y) * row_size_; }
  const std::uint8_t* ScanLine(int y) const { return data_.get() + std::size_t(y) * row_size_; }
  std::size_t RowSize() const { return row_size_; }

  // A 32-bit bitmap whose fourth byte is an alpha to blend with when drawing (PNG,
  // icons). Other 32-bit bitmaps draw their fourth byte as unused.
  bool AlphaBlended() const { return alpha_blended_; }
  void SetAlphaBlended(bool on) { alpha_blended_ = on; }

  // The colour of pixel (x, y) as 0x00BBGGRR.
  TColor PixelColor(int x, int y) const;
  // Converts row y to blue-green-red triples (width x 3 bytes).
  void RowToBGR(int y, std::uint8_t* out) const;

  void Draw(Picture& target, int x, int y) const override;
  bool TakePicture(Picture& out) override;

  // Makes this bitmap a 24-bit copy of the picture (size, pixels, palette, transparency).
  void AssignPicture(const Picture& picture);

  // Turns the bitmap as an orientation tag of a photo or a TIFF file (1 to 8) asks, so
  // that it shows upright: 2 mirrors, 3 turns half round, 4 flips, 5 transposes, 6 turns
  // a quarter clockwise, 7 transposes across the other diagonal, 8 turns a quarter
  // anticlockwise (5 to 8 swap width and height). 1 and any other value leave it as it
  // is. Every pixel format; palette and flags are kept.
  void ApplyOrientation(int orientation);

 private:
  void Allocate();

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  std::size_t row_size_ = 0;
  std::unique_ptr<std::uint8_t[]> data_;
  Palette palette_;
  bool transparent_ = false;
  TColor transparent_color_ = kNoColor;
  bool alpha_blended_ = false;
};

// How a 32-bit bitmap's fourth byte relates to its colours.
enum class AlphaKind {
  kUnassociated,  // the colours are as they are, the alpha says how much of them shows
  kAssociated,    // the colours are already multiplied by the alpha (premultiplied)
};

// The one rule for a reader whose file declares an alpha channel, decoded into a
// 32-bit bitmap (blue, green, red, alpha): the bitmap then draws what the file shows
// over white. Associated alpha is divided out of the colours first. A channel that is
// 0 in every pixel counts as absent (many writers leave it empty): the bitmap draws
// opaque. The bitmap is marked transparent when some pixel is not fully opaque.
// A reader whose file declares no alpha leaves its bitmap alone, whatever the fourth
// byte holds.
void ApplyDeclaredAlpha(TBitmap& bitmap, AlphaKind kind);

}  // namespace qel
