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
#include "import/color/convert.h"
#include "import/framework/bitmap.h"
#include "import/framework/image_properties.h"

namespace qel {

// Bits of ColorLayout::options. 16-bit L*a*b* samples
// are read as the 8-bit values with eight fraction bits (L 0..65535 spans the byte
// range; a and b are offset by 32768, or signed 16-bit without kLabChromaOffset).
namespace ColorOptions {
inline constexpr std::uint8_t kAlpha = 1 << 0;            // the side carries alpha (set from the scheme)
inline constexpr std::uint8_t kApplyGamma = 1 << 1;       // target: colour samples pass the gamma table
inline constexpr std::uint8_t kByteSwap = 1 << 2;         // source: 16-bit samples are big-endian
inline constexpr std::uint8_t kLabByteRange = 1 << 3;     // L stored as 0..255, meaning value / 2.55
inline constexpr std::uint8_t kLabChromaOffset = 1 << 4;  // a and b stored unsigned with 128 added
}  // namespace ColorOptions

// One side of a conversion: the file's samples (source) or the bitmap's pixels (target).
struct ColorLayout {
  ColorScheme scheme = ColorScheme::schRGB;
  int bits_per_sample = 8;    // 1 to 16
  int samples_per_pixel = 3;  // 1 to 4, not fewer than the scheme's channels
  std::uint8_t options = 0;   // ColorOptions bits
  friend bool operator==(const ColorLayout&, const ColorLayout&) = default;
};

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

// Samples in one pixel of the scheme's layout (the Cs and Ct below); 0 for schemes
// without a layout.
int SchemeChannels(ColorScheme scheme);

// Row conversion at a glance. A reader describes the source (the file's samples) and
// the target (the bitmap's pixels) with a ColorLayout each, given together to Configure,
// then hands ConvertRow one row at a time. The converter is chosen on the first
// ConvertRow after Configure changed a scheme, a depth or a sample count.
//
// Buffer contract of ConvertRow(source, target, count, mask). Let n be the number of
// pixels among the first count whose mask bit is set, s and t the source and target
// bits per sample, and Cs and Ct the channels of the source and target scheme (1 for
// indexed and gray, 2 for gray-alpha, 3 for RGB, BGR, L*a*b*, YCbCr and Photo-CD YCC,
// 4 for RGBA, BGRA and CMYK). Samples per pixel must be at least Cs (source) and Ct
// (target); larger values are allowed and do not change the layout below.
//  - One source pointer (interleaved): at most ceil(n * Cs * s / 8) bytes are read.
//  - Several source pointers (planar): the first Cs pointers are used, in the scheme's
//    channel order (R, G, B, A / B, G, R, A / C, M, Y, K / L, a, b / Y, Cb, Cr), and at
//    most n * s / 8 bytes are read through each. One-channel schemes use the first
//    pointer only. Fewer than Cs pointers (but more than one) are refused.
//  - Target: always interleaved; only the first ceil(count * Ct * t / 8) bytes are
//    touched. Pixels whose mask bit is clear keep their bytes, and so does the alpha
//    sample of a target whose source has no alpha. Targets below 8 bits are updated
//    bit by bit (the bytes holding a converted pixel are read and written back with
//    the other bits kept), except that equal depths of up to 8 bits with mask 0xFF are
//    copied as whole bytes, ceil(count * s / 8) of them.
//  - 16-bit samples are little-endian in memory. ColorOptions::kByteSwap makes 16-bit
//    sources big-endian (so 16 -> 16 swaps every sample); when the source is 8-bit
//    and the target 16-bit, it makes the target big-endian instead.
class TColorManager {
 public:
  TColorManager();

  // Describes both sides at once. Raises EColorConversionError, and keeps the earlier
  // description, for a depth outside 1..16 ("Color depth is invalid. Bits per sample must
  // be 1, 2, 4, 8 or 16.") or a sample count outside 1..4 ("Sample count per pixel does
  // not correspond to the given color scheme."). The options are read at every
  // ConvertRow; kAlpha is rewritten from the schemes when a converter is chosen.
  void Configure(const ColorLayout& source, const ColorLayout& target);
  const ColorLayout& Source() const { return source_; }
  const ColorLayout& Target() const { return target_; }

  ColorScheme SourceColorScheme() const { return source_.scheme; }
  ColorScheme TargetColorScheme() const { return target_.scheme; }
  std::uint8_t SourceBitsPerSample() const { return std::uint8_t(source_.bits_per_sample); }
  std::uint8_t TargetBitsPerSample() const { return std::uint8_t(target_.bits_per_sample); }
  std::uint8_t SourceSamplesPerPixel() const { return std::uint8_t(source_.samples_per_pixel); }
  std::uint8_t TargetSamplesPerPixel() const { return std::uint8_t(target_.samples_per_pixel); }
  std::uint8_t SourceOptions() const { return source_.options; }
  std::uint8_t TargetOptions() const { return target_.options; }

  // A value not above 0 is replaced by 1.0 (main) or 2.2 (display). The table maps an
  // 8-bit value i to round((i / 255)^(1 / (main x display)) x 255).
  void SetGamma(float main_gamma, float display_gamma = 2.2f);
  const std::array<std::uint8_t, 256>& GammaTable() const { return gamma_table_; }
  float MainGamma() const { return main_gamma_; }
  float DisplayGamma() const { return display_gamma_; }

  // Stores up to three luma coefficients (red, green, blue weights) and the
  // subsampling (1, 2 or 4 each, horizontal not below vertical). Nothing is stored
  // when a subsampling value is refused.
  void SetYCbCrParameters(std::span<const float> coefficients, int horizontal, int vertical);
  std::uint8_t HorizontalSubsampling() const { return h_subsampling_; }
  std::uint8_t VerticalSubsampling() const { return v_subsampling_; }
  const std::array<float, 3>& YCbCrCoefficients() const { return ycbcr_coefficients_; }

  // The bitmap pixel format for the source's or the target's samples and bits.
  TPixelFormat SourcePixelFormat() const {
    return PixelFormatFor(source_.samples_per_pixel, source_.bits_per_sample);
  }
  TPixelFormat TargetPixelFormat() const {
    return PixelFormatFor(target_.samples_per_pixel, target_.bits_per_sample);
  }
  static TPixelFormat PixelFormatFor(int samples_per_pixel, int bits_per_sample);

  // Converts count target pixels (see the buffer contract above). source holds one
  // pointer for interleaved data or one pointer per channel for planar data. Pixel i
  // is converted when bit (7 - i mod 8) of mask is set; otherwise its target pixel is
  // left as it is and no source pixel is consumed. Raises EColorConversionError when
  // the description has no conversion or the pointers do not fit it; nothing is
  // written then.
  void ConvertRow(std::span<const std::uint8_t* const> source, std::uint8_t* target, std::size_t count,
                  std::uint8_t mask = 0xFF);
  // Convenience for interleaved data.
  void ConvertRow(const std::uint8_t* source, std::uint8_t* target, std::size_t count,
                  std::uint8_t mask = 0xFF) {
    const std::uint8_t* one[1] = {source};
    ConvertRow(std::span<const std::uint8_t* const>(one, 1), target, count, mask);
  }

  // A gray ramp of 2^min(target bits x target samples, 8) entries (gamma applied when
  // the target asks for it); entry 0 white when min_is_white.
  Palette CreateGrayscalePalette(bool min_is_white) const;
  // A palette from a file's raw colour table (at most 256 entries), re-laid to match
  // the index scaling of the repacking converter. data: one pointer for interleaved
  // formats, three (red, green, blue planes) for planar ones; it must hold color_count
  // entries (triples or quadruples of 1 or 2 bytes, or color_count samples per plane).
  // Entries the re-laying asks for beyond color_count are black.
  Palette CreateColorPalette(std::span<const std::uint8_t* const> data, RawPaletteFormat format,
                             std::size_t color_count, bool blue_first) const;

 private:
  void SetupConversion();
  void MarkChanged() { changed_ = true; }

  bool changed_ = true;
  ColorLayout source_{ColorScheme::schRGB, 8, 3, 0};
  ColorLayout target_{ColorScheme::schBGR, 8, 3, 0};
  float main_gamma_ = 1.0f;
  float display_gamma_ = 2.2f;
  std::array<std::uint8_t, 256> gamma_table_{};
  std::array<float, 3> ycbcr_coefficients_{0.299f, 0.587f, 0.114f};
  std::uint8_t h_subsampling_ = 1;
  std::uint8_t v_subsampling_ = 1;
  color_convert::ChromaTables chroma_{};
  std::array<std::uint8_t, 256> index_scale_{};
  color_convert::RowConverter converter_ = nullptr;
};

}  // namespace qel
