// TColorManager converts rows of decoded samples from a file's layout (the source)
// into the layout of the bitmap being filled (the target): channel order, bit depth,
// gamma, byte order, alpha, and CMYK, CIE L*a*b*, YCbCr and Photo-CD YCC to RGB.
// It also builds palettes (gray ramps, palettes from a file's raw colour table).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/picture.h"
#include "import/bitmap.h"
#include "import/image_properties.h"

namespace qel {

// Bits of TColorManager::SourceOptions() and TargetOptions().
namespace ColorOptions {
inline constexpr std::uint8_t kAlpha = 1 << 0;         // the side carries alpha (set from the scheme)
inline constexpr std::uint8_t kApplyGamma = 1 << 1;    // target: colour samples pass the gamma table
inline constexpr std::uint8_t kByteSwap = 1 << 2;      // source: 16-bit samples are big-endian
inline constexpr std::uint8_t kLabByteRange = 1 << 3;  // L stored as 0..255, meaning value / 2.55
inline constexpr std::uint8_t kLabChromaOffset = 1 << 4;  // a and b stored unsigned with 128 added
}  // namespace ColorOptions

// Layouts of a raw palette handed to CreateColorPalette.
enum class RawPaletteFormat {
  kInterlaced8Triple = 0,
  kInterlaced8Quad = 1,
  kPlane8Triple = 2,
  kPlane8Quad = 3,
  kInterlaced16Triple = 4,
  kInterlaced16Quad = 5,
  kPlane16Triple = 6,
  kPlane16Quad = 7,
};

class TColorManager {
 public:
  TColorManager();

  ColorScheme SourceColorScheme() const { return source_scheme_; }
  ColorScheme TargetColorScheme() const { return target_scheme_; }
  void SetSourceColorScheme(ColorScheme scheme);
  void SetTargetColorScheme(ColorScheme scheme);

  std::uint8_t SourceBitsPerSample() const { return source_bps_; }
  std::uint8_t TargetBitsPerSample() const { return target_bps_; }
  // 0 or more than 16: "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16."
  void SetSourceBitsPerSample(int bits);
  void SetTargetBitsPerSample(int bits);

  std::uint8_t SourceSamplesPerPixel() const { return source_spp_; }
  std::uint8_t TargetSamplesPerPixel() const { return target_spp_; }
  // 0 or more than 4: "Sample count per pixel does not correspond to the given color scheme."
  void SetSourceSamplesPerPixel(int samples);
  void SetTargetSamplesPerPixel(int samples);

  // Plain option sets that readers set and clear directly (ColorOptions bits).
  std::uint8_t& SourceOptions() { return source_options_; }
  std::uint8_t& TargetOptions() { return target_options_; }
  std::uint8_t SourceOptions() const { return source_options_; }
  std::uint8_t TargetOptions() const { return target_options_; }

  // A value not above 0 is replaced by 1.0 (main) or 2.2 (display); rebuilds the table.
  void SetGamma(float main_gamma, float display_gamma = 2.2f);
  const std::array<std::uint8_t, 256>& GammaTable() const { return gamma_table_; }
  float MainGamma() const { return main_gamma_; }
  float DisplayGamma() const { return display_gamma_; }

  // Stores up to three luma coefficients and the subsampling (1, 2 or 4 each,
  // horizontal not below vertical).
  void SetYCbCrParameters(std::span<const float> coefficients, int horizontal, int vertical);
  std::uint8_t HorizontalSubsampling() const { return h_subsampling_; }
  std::uint8_t VerticalSubsampling() const { return v_subsampling_; }

  // The bitmap pixel format for the source's or the target's samples and bits.
  TPixelFormat SourcePixelFormat() const { return PixelFormatFor(source_spp_, source_bps_); }
  TPixelFormat TargetPixelFormat() const { return PixelFormatFor(target_spp_, target_bps_); }
  static TPixelFormat PixelFormatFor(int samples_per_pixel, int bits_per_sample);

  // Converts count target pixels. source holds one pointer for interleaved data or one
  // pointer per channel for planar data. Pixel i is converted when bit (7 - i mod 8) of
  // mask is set; otherwise its target pixel is left as it is and no source pixel is
  // consumed. Raises EColorConversionError when no conversion exists.
  void ConvertRow(std::span<const std::uint8_t* const> source, std::uint8_t* target, std::size_t count,
                  std::uint8_t mask = 0xFF);
  // Convenience for interleaved data.
  void ConvertRow(const std::uint8_t* source, std::uint8_t* target, std::size_t count, std::uint8_t mask = 0xFF) {
    const std::uint8_t* one[1] = {source};
    ConvertRow(std::span<const std::uint8_t* const>(one, 1), target, count, mask);
  }

  // A gray ramp of 2^min(target bits x target samples, 8) entries (gamma applied when
  // the target asks for it); entry 0 white when min_is_white.
  Palette CreateGrayscalePalette(bool min_is_white) const;
  // A palette from a file's raw colour table (at most 256 entries), re-laid to match
  // the index scaling of the repacking converter. data: one pointer for interleaved
  // formats, three (red, green, blue planes) for planar ones.
  Palette CreateColorPalette(std::span<const std::uint8_t* const> data, RawPaletteFormat format,
                             std::size_t color_count, bool blue_first) const;

 private:
  using Converter = void (TColorManager::*)(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t,
                                            std::uint8_t);
  void SetupConversion();
  void BuildChromaTables(int red_center, int blue_center);

  // Converters (each handles one family; see the .cpp).
  void RowCopy16(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowIndexed16ToN(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowIndexedNTo16(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowRepack(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowGray(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowRGBFamily(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowCMYK(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowCIELab(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);
  void RowYCbCr(std::span<const std::uint8_t* const>, std::uint8_t*, std::size_t, std::uint8_t);

  bool changed_ = true;
  std::uint8_t source_bps_ = 8;
  std::uint8_t target_bps_ = 8;
  std::uint8_t source_spp_ = 3;
  std::uint8_t target_spp_ = 3;
  float main_gamma_ = 1.0f;
  float display_gamma_ = 2.2f;
  std::array<std::uint8_t, 256> gamma_table_{};
  std::array<float, 3> ycbcr_coefficients_{0.299f, 0.587f, 0.114f};
  std::uint8_t h_subsampling_ = 1;
  std::uint8_t v_subsampling_ = 1;
  std::vector<std::int32_t> cr_to_red_, cb_to_blue_, cr_to_green_, cb_to_green_;
  ColorScheme source_scheme_ = ColorScheme::schRGB;
  ColorScheme target_scheme_ = ColorScheme::schBGR;
  Converter converter_ = nullptr;
  std::uint8_t source_options_ = 0;
  std::uint8_t target_options_ = 0;
};

}  // namespace qel
