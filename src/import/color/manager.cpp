// TColorManager: the description, the choice of a row converter, the row
// entry point and the palette builders. The converters live in color_convert_*.cpp.
#include "import/color/manager.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "imaging/errors.h"
#include "import/framework/messages.h"

namespace qel {
namespace {

using color_convert::kIdentityTable;
using color_convert::SourceCursor;

bool HasAlpha(ColorScheme s) {
  return s == ColorScheme::schGrayAlpha || s == ColorScheme::schRGBA || s == ColorScheme::schBGRA;
}
bool IsRgbOrder(ColorScheme s) {
  return s == ColorScheme::schRGB || s == ColorScheme::schRGBA;
}
bool IsBgrOrder(ColorScheme s) {
  return s == ColorScheme::schBGR || s == ColorScheme::schBGRA;
}
bool IsColorTarget(ColorScheme s) {
  return IsRgbOrder(s) || IsBgrOrder(s);
}
bool IsByteDepth(int bits) {
  return bits == 8 || bits == 16;
}

void SetBit(std::uint8_t& options, std::uint8_t bit, bool on) {
  options = on ? std::uint8_t(options | bit) : std::uint8_t(options & ~bit);
}

[[noreturn]] void Fail(const char* message) {
  throw EColorConversionError(message);
}

}  // namespace

int SchemeChannels(ColorScheme scheme) {
  switch (scheme) {
    case ColorScheme::schIndexed:
    case ColorScheme::schGray:
      return 1;
    case ColorScheme::schGrayAlpha:
      return 2;
    case ColorScheme::schRGB:
    case ColorScheme::schBGR:
    case ColorScheme::schCIELab:
    case ColorScheme::schYCbCr:
    case ColorScheme::schPhotoYCC:
      return 3;
    case ColorScheme::schRGBA:
    case ColorScheme::schBGRA:
    case ColorScheme::schCMYK:
      return 4;
    default:
      return 0;
  }
}

TColorManager::TColorManager() {
  SetGamma(main_gamma_, display_gamma_);
}

void TColorManager::Configure(const ColorLayout& source, const ColorLayout& target) {
  const auto valid_depth = [](int bits) { return bits >= 1 && bits <= 16; };
  const auto valid_samples = [](int samples) { return samples >= 1 && samples <= 4; };
  if (!valid_depth(source.bits_per_sample) || !valid_depth(target.bits_per_sample))
    Fail(msg::kInvalidColorDepth);
  if (!valid_samples(source.samples_per_pixel) || !valid_samples(target.samples_per_pixel))
    Fail(msg::kInvalidSampleCount);
  const auto shape = [](const ColorLayout& l) {
    return std::tuple(l.scheme, l.bits_per_sample, l.samples_per_pixel);
  };
  if (shape(source) != shape(source_) || shape(target) != shape(target_)) MarkChanged();
  source_ = source;
  target_ = target;
}

void TColorManager::SetGamma(float main_gamma, float display_gamma) {
  main_gamma_ = main_gamma > 0 ? main_gamma : 1.0f;
  display_gamma_ = display_gamma > 0 ? display_gamma : 2.2f;
  // Every user of the table looks up 8-bit values (colour samples, palette colours,
  // gray levels), so it always spans 0..255 on both sides.
  const double exponent = 1.0 / (double(main_gamma_) * double(display_gamma_));
  for (int i = 0; i < 256; ++i) {
    const double v = std::pow(i / 255.0, exponent) * 255.0;
    gamma_table_[i] = std::uint8_t(std::nearbyint(std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 255.0)));
  }
}

void TColorManager::SetYCbCrParameters(std::span<const float> coefficients, int horizontal, int vertical) {
  const auto allowed = [](int v) { return v == 1 || v == 2 || v == 4; };
  if (!allowed(horizontal) || !allowed(vertical)) Fail(msg::kInvalidSubsampling);
  if (horizontal < vertical) Fail(msg::kVerticalSubsampling);
  for (std::size_t i = 0; i < std::min<std::size_t>(coefficients.size(), 3); ++i) {
    if (coefficients[i] != ycbcr_coefficients_[i]) {
      ycbcr_coefficients_[i] = coefficients[i];
      MarkChanged();
    }
  }
  if (horizontal != h_subsampling_ || vertical != v_subsampling_) {
    h_subsampling_ = std::uint8_t(horizontal);
    v_subsampling_ = std::uint8_t(vertical);
    MarkChanged();
  }
}

TPixelFormat TColorManager::PixelFormatFor(int samples_per_pixel, int bits_per_sample) {
  const int b = bits_per_sample;
  switch (samples_per_pixel) {
    case 1:
      if (b == 1) return TPixelFormat::pf1bit;
      if (b >= 2 && b <= 4) return TPixelFormat::pf4bit;
      if (b >= 8 && b <= 16) return TPixelFormat::pf8bit;
      return TPixelFormat::pfCustom;
    case 3:
      return b >= 1 && b <= 5 ? TPixelFormat::pf15bit : TPixelFormat::pf24bit;
    case 4:
      return b >= 8 ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    default:
      return TPixelFormat::pfCustom;
  }
}

// Chooses the converter for the current description. Throws before changing anything
// when the schemes cannot meet or the sample counts cannot hold the schemes' layout.
void TColorManager::SetupConversion() {
  const ColorScheme source = source_.scheme;
  const ColorScheme target = target_.scheme;
  const bool one_sample_source = source == ColorScheme::schIndexed || source == ColorScheme::schGray ||
                                 source == ColorScheme::schGrayAlpha;
  const bool one_sample_target = target == ColorScheme::schIndexed || target == ColorScheme::schGray;
  if (one_sample_source != one_sample_target) Fail(msg::kIndexedNotSupported);
  // The converters step through rows by the schemes' channel counts; readers size
  // their buffers and bitmaps by the sample counts, which must not be smaller.
  if (source_.samples_per_pixel < SchemeChannels(source) ||
      target_.samples_per_pixel < SchemeChannels(target))
    Fail(msg::kInvalidSampleCount);

  SetBit(source_.options, ColorOptions::kAlpha, HasAlpha(source));
  SetBit(target_.options, ColorOptions::kAlpha, HasAlpha(target));

  const int s = source_.bits_per_sample;
  const int t = target_.bits_per_sample;
  const bool byte_depths = IsByteDepth(s) && IsByteDepth(t);
  const bool packed_depths = s <= 8 && t <= 8;
  color_convert::RowConverter chosen = nullptr;
  switch (source) {
    case ColorScheme::schIndexed:
      if (s == 16 && t == 16) {
        chosen = color_convert::Copy16Row;
      } else if (s == 16) {
        if (t <= 8) chosen = color_convert::Indexed16ToNRow;
      } else if (t == 16) {
        if (s <= 8) chosen = color_convert::IndexedNTo16Row;
      } else if (packed_depths) {
        chosen = color_convert::RepackRow;
      }
      break;
    case ColorScheme::schGray:
      if (s != 16 && t != 16) {
        if (packed_depths) chosen = color_convert::RepackRow;
      } else if (byte_depths) {
        chosen = color_convert::GrayRow;
      }
      break;
    case ColorScheme::schGrayAlpha:
      if (byte_depths) chosen = color_convert::GrayRow;
      break;
    case ColorScheme::schRGB:
    case ColorScheme::schRGBA:
    case ColorScheme::schBGR:
    case ColorScheme::schBGRA:
      if (IsColorTarget(target) && byte_depths) chosen = color_convert::RgbFamilyRow;
      break;
    case ColorScheme::schCMYK:
      if (IsColorTarget(target) && byte_depths) chosen = color_convert::CmykRow;
      break;
    case ColorScheme::schCIELab:
      if (IsColorTarget(target) && byte_depths) chosen = color_convert::LabRow;
      break;
    case ColorScheme::schYCbCr:
    case ColorScheme::schPhotoYCC:
      if (IsColorTarget(target) && byte_depths) {
        const bool ycc = source == ColorScheme::schPhotoYCC;
        color_convert::BuildChromaTables(chroma_, ycbcr_coefficients_[0], ycbcr_coefficients_[1],
                                         ycbcr_coefficients_[2], ycc ? 137 : 128, ycc ? 156 : 128);
        chosen = color_convert::YCbCrRow;
      }
      break;
    default:
      break;
  }
  if (chosen == color_convert::RepackRow) {
    const std::uint32_t source_top = (1u << s) - 1u;
    const std::uint32_t target_top = (1u << t) - 1u;
    for (std::uint32_t v = 0; v <= source_top; ++v)
      index_scale_[v] = std::uint8_t(v * target_top / source_top);
  }
  converter_ = chosen;
  changed_ = false;
}

void TColorManager::ConvertRow(std::span<const std::uint8_t* const> source, std::uint8_t* target,
                               std::size_t count, std::uint8_t mask) {
  if (changed_) SetupConversion();
  if (converter_ == nullptr) Fail(msg::kConversionImpossible);
  if (count == 0) return;

  const std::size_t channels = std::size_t(SchemeChannels(source_.scheme));
  const std::size_t sample_bytes =
      source_.bits_per_sample >= 8 ? std::size_t(source_.bits_per_sample / 8) : 0;
  SourceCursor cursor;
  if (target == nullptr || source.empty() || source[0] == nullptr) Fail(msg::kConversionImpossible);
  if (source.size() == 1 || channels == 1) {
    for (std::size_t c = 0; c < channels; ++c) cursor.channel[c] = source[0] + c * sample_bytes;
    cursor.step = channels * sample_bytes;
  } else {
    if (source.size() < channels) Fail(msg::kConversionImpossible);
    for (std::size_t c = 0; c < channels; ++c) {
      if (source[c] == nullptr) Fail(msg::kConversionImpossible);
      cursor.channel[c] = source[c];
    }
    cursor.step = sample_bytes;
  }

  color_convert::RowSetup setup;
  setup.source_bits = source_.bits_per_sample;
  setup.target_bits = target_.bits_per_sample;
  setup.target_channels = SchemeChannels(target_.scheme);
  setup.source_alpha = HasAlpha(source_.scheme);
  setup.target_alpha = HasAlpha(target_.scheme);
  setup.source_bgr = IsBgrOrder(source_.scheme);
  setup.target_bgr = IsBgrOrder(target_.scheme);
  setup.byte_swap = (source_.options & ColorOptions::kByteSwap) != 0;
  setup.lab_byte_range = (source_.options & ColorOptions::kLabByteRange) != 0;
  setup.lab_chroma_offset = (source_.options & ColorOptions::kLabChromaOffset) != 0;
  setup.gamma = (target_.options & ColorOptions::kApplyGamma) ? &gamma_table_ : &kIdentityTable;
  setup.index_scale = &index_scale_;
  setup.chroma = &chroma_;
  converter_(setup, cursor, target, count, mask);
}

Palette TColorManager::CreateGrayscalePalette(bool min_is_white) const {
  const int bits = std::min(int(target_.bits_per_sample) * int(target_.samples_per_pixel), 8);
  const int n = 1 << bits;
  const int step = 255 / (n - 1);
  const bool gamma = (target_.options & ColorOptions::kApplyGamma) != 0;
  Palette palette(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::uint8_t level = gamma ? gamma_table_[i * step] : std::uint8_t(i * step);
    palette[std::size_t(min_is_white ? n - 1 - i : i)] = PaletteEntry{level, level, level, 0};
  }
  return palette;
}

Palette TColorManager::CreateColorPalette(std::span<const std::uint8_t* const> data, RawPaletteFormat format,
                                          std::size_t color_count, bool blue_first) const {
  if (color_count == 0) return {};
  const int code = int(format);
  const bool wide = code >= 4;
  const bool planar = code == 2 || code == 3 || code == 6 || code == 7;
  const bool quad = code == 1 || code == 5;
  const std::size_t planes = planar ? 3 : 1;
  if (data.size() < planes) Fail(msg::kConversionImpossible);
  for (std::size_t p = 0; p < planes; ++p)
    if (data[p] == nullptr) Fail(msg::kConversionImpossible);

  const std::size_t sample_bytes = wide ? 2 : 1;
  const bool swap = (source_.options & ColorOptions::kByteSwap) != 0;
  const auto& gamma = (target_.options & ColorOptions::kApplyGamma) ? gamma_table_ : kIdentityTable;
  const auto value = [&](const std::uint8_t* p) {
    return gamma[wide ? color_convert::Scale16To8(color_convert::Load16(p, swap)) : *p];
  };
  // Raw entry k (k < color_count) as a palette colour.
  const auto raw_entry = [&](std::size_t k) {
    const std::uint8_t *red, *green, *blue;
    if (planar) {
      red = data[0] + k * sample_bytes;
      green = data[1] + k * sample_bytes;
      blue = data[2] + k * sample_bytes;
    } else {
      const std::uint8_t* base = data[0] + k * (quad ? 4 : 3) * sample_bytes;
      red = base + (blue_first ? 2 : 0) * sample_bytes;
      green = base + sample_bytes;
      blue = base + (blue_first ? 0 : 2) * sample_bytes;
    }
    return PaletteEntry{value(red), value(green), value(blue), 0};
  };

  Palette palette;
  const std::uint32_t source_top = (1u << source_.bits_per_sample) - 1u;
  const std::uint32_t target_top = (1u << std::min<int>(target_.bits_per_sample, 8)) - 1u;
  if (target_.bits_per_sample <= 8 && source_top != target_top) {
    // Entry i is the colour that the repacking converter's index i stands for: the file
    // index i * S / T. Reading the raw table directly keeps every old entry intact.
    palette.resize(target_top + 1);
    for (std::uint32_t i = 0; i <= target_top; ++i) {
      const std::size_t from = std::size_t(std::uint64_t(i) * source_top / target_top);
      if (from < color_count) palette[i] = raw_entry(from);
    }
  } else {
    palette.resize(std::min<std::size_t>(color_count, 256));
    for (std::size_t k = 0; k < palette.size(); ++k) palette[k] = raw_entry(k);
  }
  return palette;
}

}  // namespace qel
