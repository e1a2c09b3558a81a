// Where the parts of a Photo-CD file lie. Files are read in sectors of 2048 bytes;
// image packs carry "PCD" at the start of sector 1, overview (index) files
// "PCD_OPA" at the very start.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qel {

inline constexpr std::size_t kPcdSectorSize = 2048;
// The first three sectors hold everything the header tells.
inline constexpr std::size_t kPcdHeaderSize = 3 * kPcdSectorSize;
inline constexpr int kPcdBaseResolution = 2;
inline constexpr int kPcdLargestResolution = 5;
// Width and height of the smallest resolution (Base/16); each step doubles both.
inline constexpr std::uint32_t kPcdSmallestWidth = 192;
inline constexpr std::uint32_t kPcdSmallestHeight = 128;

// How the picture is turned: portrait pictures (1 and 3) are stored lying on a side.
enum class PcdRotation : std::uint8_t { kNone = 0, kPortraitLeft = 1, kUpsideDown = 2, kPortraitRight = 3 };

struct PcdHeader {
  bool is_overview = false;    // "PCD_OPA" at 0
  bool is_image_pack = false;  // "PCD" at 2048
  std::uint16_t subimage_count = 0;
  PcdRotation rotation = PcdRotation::kNone;

  bool IsPhotoCD() const { return is_overview || is_image_pack; }
  bool IsPortrait() const {
    return rotation == PcdRotation::kPortraitLeft || rotation == PcdRotation::kPortraitRight;
  }
};

PcdHeader ParsePcdHeader(const std::array<std::uint8_t, kPcdHeaderSize>& bytes);

// The sector at which the uncompressed data of resolution 0, 1 or 2 starts (-1 for
// the larger ones, which are stored as residuals).
int PcdImageSector(int resolution, bool overview);

}  // namespace qel
