// The order in which file lists are shown and worked through: names as a person reads
// them, so that img2 comes before img10 and Beach before cliff.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

// True when a goes before b: letters compared without regard to case (ASCII), each run
// of digits compared as the number it spells. Names that differ only in case or in
// leading zeros are ordered by their bytes, so that the order is total.
bool NaturalLess(std::string_view a, std::string_view b);

// Sorts the range [first, last) of the list with NaturalLess.
void SortNaturally(std::vector<std::string>& list, std::size_t first = 0);

}  // namespace qel
