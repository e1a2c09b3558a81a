// The JPEG 2000 encoder behind WriteJp2.
#pragma once

#include <cstdint>

#include "import/framework/bitmap.h"
#include "import/jp2/graphic.h"

namespace qel {

class TStream;

namespace msg {
inline constexpr const char* kJp2ImageCreationFailed = "Failed to create JPEG 2000 image struct for saving";
inline constexpr const char* kJp2EncodingFailed = "JPEG 2000 image encoding failed";
}  // namespace msg

struct Jp2EncodeOptions {
  bool lossless = false;     // keep all coded data (no rate limit)
  int quality_percent = 80;  // the rate when not lossless; kept within 1..100
};

// The compression rate (raw bytes over allowed coded bytes) for a quality in percent,
// N = width x height x components samples and n components:
// T = N x k + 550 + 142 x (n - 1) with k = 100 / (115 - quality)^2, rate = 1 / (T / N),
// in single precision. quality must be below 115.
float Jpeg2000Rate(int quality_percent, std::uint64_t sample_count, int component_count);

// Appends a complete JP2 file of the bitmap: 3 components (4 for a 32-bit bitmap, the
// fourth as opacity). Nothing is written when encoding fails (EJpeg2000Error).
void EncodeJp2(const TBitmap& bitmap, TStream& stream, const Jp2EncodeOptions& options);

}  // namespace qel
