// The device-independent bitmaps that metafile records carry: a BITMAPINFO (core, info,
// V4 or V5 header, optional bit masks and colour table) and the pixel bits. The bitmap is
// not decoded as a whole: rows are converted on demand, so a large 1-bit bitmap costs no
// more memory than its bits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "imaging/picture.h"

namespace qel {

// iUsage / ColorUsage of the records: the colour table holds RGB quads or palette indices.
inline constexpr std::uint32_t kDibRgbColors = 0;
inline constexpr std::uint32_t kDibPalColors = 1;

class MetafileDib {
 public:
  // Reads the BITMAPINFO at info and takes bits as the pixel data. Returns nullopt for
  // bitmaps that are well formed but not drawn (compressed with RLE, JPEG or PNG, or a
  // colour table of palette indices); throws EInvalidGraphic when the header is
  // inconsistent or the bits are shorter than the header says.
  // scan_count rows (0: all of them) starting at scan_start (counted as the bitmap
  // stores its rows) are present in bits; the others are not drawn.
  static std::optional<MetafileDib> Parse(std::span<const std::uint8_t> info,
                                          std::span<const std::uint8_t> bits, std::uint32_t usage,
                                          std::string_view format, std::uint32_t scan_start = 0,
                                          std::uint32_t scan_count = 0);
  // A packed bitmap, as the Windows metafile records hold it: the bits follow the
  // header and colour table directly.
  static std::optional<MetafileDib> ParsePacked(std::span<const std::uint8_t> packed, std::uint32_t usage,
                                                std::string_view format, std::uint32_t scan_start = 0,
                                                std::uint32_t scan_count = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool BottomUp() const { return bottom_up_; }
  // Whether row y (0 = the top row as shown) is present in the bits.
  bool RowPresent(int y) const;
  // Converts pixels [x0, x1) of row y (0 = top) to colours; the row must be present and
  // 0 <= x0 <= x1 <= Width().
  void ReadRow(int y, int x0, int x1, TColor* out) const;

 private:
  struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;  // mask >> shift
    std::uint8_t Scale(std::uint32_t pixel) const;
  };

  int width_ = 0;
  int height_ = 0;
  int bits_per_pixel_ = 0;
  bool bottom_up_ = true;
  bool bit_fields_ = false;
  std::size_t row_size_ = 0;
  std::uint32_t scan_start_ = 0;
  std::uint32_t scan_count_ = 0;
  Channel red_, green_, blue_;
  std::vector<TColor> colors_;
  std::span<const std::uint8_t> bits_;
};

}  // namespace qel
