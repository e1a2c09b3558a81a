// How the decoded samples of a TIFF image become rows for the colour manager: the
// layout that the reader works out from the directory before it reads any pixel.
#pragma once

#include <cstdint>
#include <optional>

#include "import/framework/bitmap.h"
#include "import/framework/image_properties.h"

namespace qel::tiff {

// More samples than this in one pixel is no image this tool can show.
inline constexpr int kMaxSamplesPerPixel = 16;

struct RowPlan {
  ColorScheme source_scheme = ColorScheme::schUnknown;
  ColorScheme target_scheme = ColorScheme::schUnknown;
  int bits = 8;         // bits per sample in the file
  int samples = 1;      // samples per pixel in the file
  int channels = 1;     // samples per pixel taken from the file (planes read when planar)
  int cm_channels = 1;  // samples per pixel the colour manager is given
  int target_bits = 8;
  bool planar = false;        // separate planes, one strip or tile set per sample
  bool keep_leading = false;  // interleaved pixels carry samples beyond the channels
  bool differencing = false;
  bool gray_alpha = false;         // gray and alpha, spread to red, green, blue and alpha
  std::optional<AlphaKind> alpha;  // the file declares its extra sample as alpha
  int ycbcr_h = 1;                 // subsampled YCbCr units that the reader spreads itself
  int ycbcr_v = 1;
  std::uint64_t line_bytes = 0;  // bytes of one decoded row (of one plane when planar)

  int Planes() const { return planar ? channels : 1; }
  bool Subsampled() const { return ycbcr_h * ycbcr_v > 1; }
};

}  // namespace qel::tiff
