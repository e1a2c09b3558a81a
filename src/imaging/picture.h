// The one kind of picture the tool works on: 24 bits a pixel, bytes blue, green,
// red, rows from the top, each row padded to a multiple of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qel {

// A colour laid out 0x00BBGGRR (red in the low byte).
using TColor = std::uint32_t;
// "No colour" for the fill and line arguments of the helpers.
inline constexpr TColor kNoColor = 0xFFFFFFFFu;

constexpr std::uint8_t RedOf(TColor c) {
  return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t GreenOf(TColor c) {
  return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t BlueOf(TColor c) {
  return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}
constexpr TColor RGBColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}

struct TRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  constexpr std::int32_t Width() const { return right - left; }
  constexpr std::int32_t Height() const { return bottom - top; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct PaletteEntry {
  std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
  friend constexpr bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
using Palette = std::vector<PaletteEntry>;

// The largest number of pixels a picture or a decoded bitmap may have. It lets a
// 30000 x 30000 scan load while a lying header cannot ask for unbounded memory.
inline constexpr std::uint64_t kMaxPicturePixels = 1ull << 30;
// The longest side a picture may have; keeps every byte count of a row well inside 32 bits.
inline constexpr std::int64_t kMaxPictureSide = 1 << 24;

// Throws EOutOfResources when width x height is beyond the limits above.
void CheckPictureSize(std::int64_t width, std::int64_t height);

// Memory for pixel rows, left as it comes (callers fill it). Large blocks have their
// pages mapped in one go rather than one fault at a time as they are first written.
// Throws EOutOfResources with "what" in the message when the memory cannot be had.
std::unique_ptr<std::uint8_t[]> AllocatePixelMemory(std::size_t bytes, const char* what = "picture");

class Picture {
 public:
  Picture() = default;
  Picture(const Picture& other);
  Picture& operator=(const Picture& other);
  Picture(Picture&&) noexcept = default;
  Picture& operator=(Picture&&) noexcept = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // ((width x 24 + 31) div 32) x 4
  std::size_t RowSize() const { return row_size_; }
  static std::size_t RowSizeFor(int width) { return ((std::size_t(width) * 24 + 31) / 32) * 4; }

  std::uint8_t* Row(int y) { return data_.get() + std::size_t(y) * row_size_; }
  const std::uint8_t* Row(int y) const { return data_.get() + std::size_t(y) * row_size_; }
  std::span<std::uint8_t> Bytes() { return {data_.get(), row_size_ * std::size_t(height_)}; }
  std::span<const std::uint8_t> Bytes() const { return {data_.get(), row_size_ * std::size_t(height_)}; }

  // Gives the picture a new size; the pixels become white (every byte 255).
  void SetSize(int width, int height);
  // The same, but the pixel bytes are left as they come from the allocator; for
  // callers that write every byte themselves.
  void SetSizeUninitialized(int width, int height);
  // Width or height 0, no pixels, no palette, not transparent.
  void Clear();

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on) { transparent_ = on; }
  // The automatic transparent colour: that of the bottom-left pixel (black when empty).
  TColor TransparentColor() const;

  const Palette& GetPalette() const { return palette_; }
  void SetPalette(Palette p) { palette_ = std::move(p); }

  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);

  // Makes a picture of pixel rows laid out as above (RowSizeFor(width) bytes a row, top
  // row first) without copying them.
  static Picture Adopt(int width, int height, std::unique_ptr<std::uint8_t[]> rows);

  // Takes over the size, pixels, transparent flag and palette of another picture
  // (the "copy one picture into another" of the operations).
  void Assign(Picture&& other) { *this = std::move(other); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::size_t row_size_ = 0;
  std::unique_ptr<std::uint8_t[]> data_;
  bool transparent_ = false;
  Palette palette_;
};

// The rectangle (0, 0, width, height).
TRect PictureRect(const Picture& picture);
// A new 24-bit picture; filled with the colour unless it is kNoColor (then white).
Picture NewPicture(int width, int height, TColor fill);
void FillPicture(Picture& picture, TColor color);
// Fills the interior (unless kNoColor) and outlines the outermost pixels (unless kNoColor).
void FillAndOutline(Picture& picture, TColor fill, TColor line);
// Fills the rectangle, clipped to the picture.
void FillRect(Picture& picture, const TRect& rect, TColor color);
std::uint8_t ClampToByte(std::int32_t value);

}  // namespace qel
