// Constants of the enhanced metafiles the writer produces, and the frame rectangle it
// records for a picture.
#pragma once

#include <cstdint>

namespace qel {

namespace emf {
inline constexpr std::uint32_t kEmrHeader = 1;
inline constexpr std::uint32_t kEmrEof = 14;
inline constexpr std::uint32_t kEmrStretchDIBits = 81;
inline constexpr std::uint32_t kSignature = 0x464D4520;  // " EMF"
inline constexpr std::uint32_t kVersion = 0x10000;
inline constexpr std::uint32_t kHeaderSize = 108;  // with the pixel format and micrometre extensions
inline constexpr std::uint32_t kEofSize = 20;
inline constexpr std::uint32_t kStretchDIBitsFixedSize = 80;
inline constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
inline constexpr std::uint32_t kDibRgbColors = 0;
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;

// The reference device the metafiles are recorded for: a 96-dpi screen of 1920 x 1440
// pixels measuring 508 x 381 millimetres (both sides exactly 96 pixels per inch).
inline constexpr std::int32_t kReferenceWidthPixels = 1920;
inline constexpr std::int32_t kReferenceHeightPixels = 1440;
inline constexpr std::int32_t kReferenceWidthMillimetres = 508;
inline constexpr std::int32_t kReferenceHeightMillimetres = 381;
}  // namespace emf

// The frame rectangle in hundredths of a millimetre.
struct EmfFrame {
  std::int32_t left, top, right, bottom;
};

// (0, 0, W, H) with W = width x (reference width in mm x 100) / reference width in
// pixels, H likewise from the heights: integer arithmetic, the product taken first.
EmfFrame EmfFrameOf(int width, int height);

}  // namespace qel
