// The orientation a camera records in a JPEG file's Exif block.
#pragma once

#include <cstdint>
#include <span>

namespace qel {

// The payload of an APP1 segment holding Exif data starts with these six bytes.
inline constexpr std::uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};

// The orientation (tag 274) of the first image directory of an Exif block given as the
// whole APP1 payload, signature included: 1 to 8 as the tag says, or 0 when the block
// has no such tag, holds a value outside 1..8, or is damaged. Every read stays inside
// the block, whatever its offsets say.
int ExifOrientation(std::span<const std::uint8_t> app1);

}  // namespace qel
