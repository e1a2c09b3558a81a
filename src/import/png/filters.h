// The five row filters of PNG image data, undone in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

enum class PngRowFilter : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// The predictor of the Paeth filter: of left, above and upper-left, the one nearest to
// left + above - upper-left, ties going to left, then above.
std::uint8_t PaethPredictor(std::uint8_t left, std::uint8_t above, std::uint8_t upper_left);

// Reconstructs row (the filtered bytes without the filter-type byte) in place.
// previous is the reconstructed row above in the same pass, all zero for the first row
// of a pass, and as long as row. bytes_per_pixel (at least 1) is the distance to the
// byte that counts as "left"; bytes before the row start count as 0. Returns false,
// leaving the row as it was, for a filter type above 4.
bool UnfilterPngRow(std::uint8_t filter, std::span<std::uint8_t> row, std::span<const std::uint8_t> previous,
                    std::size_t bytes_per_pixel);

}  // namespace qel
