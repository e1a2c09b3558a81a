// TJpeg2000Bitmap: reads JPEG 2000 files (JP2 files and raw codestreams) into the
// bitmap it is, and writes the bitmap as a JP2 file.
#pragma once

#include <cstdint>

#include "imaging/errors.h"
#include "import/framework/bitmap.h"

namespace qel {

class EJpeg2000Error : public Error {
 public:
  using Error::Error;
};

namespace msg {
inline constexpr const char* kJp2UnknownFileType = "Unknown JPEG 2000 file type";
inline constexpr const char* kJp2DecodingFailed = "JPEG 2000 image decoding failed";
inline constexpr const char* kJp2ImageCreationFailed = "Failed to create JPEG 2000 image struct for saving";
inline constexpr const char* kJp2EncodingFailed = "JPEG 2000 image encoding failed";
}  // namespace msg

// The compression rate (raw bytes over allowed coded bytes) for a quality in percent,
// N = width x height x components samples and n components:
// T = N x k + 550 + 142 x (n - 1) with k = 100 / (115 - quality)^2, rate = 1 / (T / N),
// in single precision. quality must be below 115.
float Jpeg2000Rate(int quality_percent, std::uint64_t sample_count, int component_count);

class TJpeg2000Bitmap : public TBitmap {
 public:
  TJpeg2000Bitmap() = default;

  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // When on, saving keeps all coded data (no rate limit).
  bool LosslessMode() const { return lossless_; }
  void SetLosslessMode(bool on) { lossless_ = on; }
  // Sets the rate when lossless mode is off; kept within 1..100.
  std::uint8_t QualityPercent() const { return quality_; }
  void SetQualityPercent(int quality);

  // Decodes the JP2 file or codestream that starts at the stream's position (the
  // content decides, not the extension). Leaves the stream after the bytes the
  // decoder consumed; on failure the bitmap is unchanged.
  void LoadFromStream(TStream& stream) override;
  // Appends a complete JP2 file of the bitmap: 3 components (4 for a 32-bit bitmap,
  // the fourth as opacity). Nothing is written when encoding fails.
  void SaveToStream(TStream& stream) const;

 private:
  bool lossless_ = false;
  std::uint8_t quality_ = 80;
};

}  // namespace qel
