// Doubling of a Photo-CD chroma plane in both directions, in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

// plane holds height rows of width bytes; its top-left quarter (height / 2 rows of
// width / 2 samples, at the full row stride) is spread over the whole plane. New
// samples between two old ones are their mean rounded up; samples between four old
// ones the mean of the four, rounded to nearest; the last column pair repeats or
// averages vertically the last old column and the last row copies the one above.
// width and height must be even and at least 2, and plane at least width x height.
void UpsampleChroma(std::span<std::uint8_t> plane, std::size_t width, std::size_t height);

}  // namespace qel
