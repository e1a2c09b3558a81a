// The palette file that goes with a Dr. Halo image: same name, extension ".pal".
#pragma once

#include <optional>
#include <string>

#include "imaging/picture.h"

namespace qel {

// The palette file of the image at image_path: the name with its extension replaced
// by ".pal" in the case of the image's extension, then in the other case, then with
// the whole name in lower case and in upper case. The first that exists is returned;
// when none does, the first candidate.
std::string FindCutPaletteFile(const std::string& image_path);

// Reads a palette file: 512-byte blocks; in the first, the word at offset 12 is the
// highest colour index and the entries start at offset 40. An entry is three 16-bit
// words (red, green, blue) of which the low byte is the colour; entries never cross a
// block, the next block starting when an entry would begin beyond offset 506. At most
// 256 entries; a file that ends early gives the entries it holds. nullopt when the
// file cannot be opened or is too short for its header.
std::optional<Palette> ReadCutPalette(const std::string& path);

}  // namespace qel
