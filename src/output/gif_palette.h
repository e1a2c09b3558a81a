// The colour table of a GIF frame: the 256-entry palette made of a picture's quantised
// colours between the system colours, the mapping of pixels to their nearest entry,
// and the table sorted by use.
#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "imaging/picture.h"
#include "output/color_quantizer.h"

namespace qel {

inline constexpr int kGifPaletteSize = 256;
// Room left between the ten system colours at each end of the palette.
inline constexpr int kQuantizedColorLimit = 236;
inline constexpr int kFirstQuantizedEntry = 10;

struct TGIFColorMap {
  std::array<TRGBTriple, kGifPaletteSize> colors{};
  int count = 0;
  // The table is sorted by use, most used first.
  bool optimized = false;
};

// Entries 0 to 9: the first ten system colours; 10 to 245: the picture's colours
// quantised to at most 236, then black; 246 to 255: the last ten system colours.
TGIFColorMap OptimizedPaletteWithSystemColors(const Picture& picture);

// The index of the palette entry nearest to a colour: smallest squared distance in
// red, green and blue, the lowest index on a tie. The colour cube is cut into cells of
// 8 x 8 x 8 values; for each cell that a colour falls in, the entries that can be
// nearest to some colour of the cell are listed once, in index order, and only they are
// searched. Most small cubes of 4 x 4 x 4 values lie wholly on one entry's side of every
// other entry: their answer is kept once it is known, and the colours in them are
// mapped without a search.
class TNearestColorMapper {
 public:
  explicit TNearestColorMapper(const TGIFColorMap& palette);
  std::uint8_t Nearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const unsigned cube = unsigned(red >> kCubeBits) << (2 * kCubeIndexBits) |
                          unsigned(green >> kCubeBits) << kCubeIndexBits | unsigned(blue >> kCubeBits);
    const unsigned known = cubes_[cube];
    if (known - 1u < unsigned(kGifPaletteSize)) return std::uint8_t(known - 1u);
    return Resolve(cube, red, green, blue);
  }
  // The plain search over every entry, which Nearest() must agree with.
  std::uint8_t Search(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

 private:
  static constexpr int kCellBits = 3;  // a cell spans 8 values of each channel
  static constexpr unsigned kCellsPerSide = 256 >> kCellBits;
  static constexpr int kCubeBits = 2;  // a cube spans 4 values of each channel
  static constexpr int kCubeIndexBits = 8 - kCubeBits;
  // What cubes_ holds: 0 for a cube not looked at yet, the entry + 1 for a cube all of
  // whose colours map to that entry, kMixedCube for one whose colours are searched.
  static constexpr std::uint16_t kMixedCube = 0xFFFF;
  // Candidates are listed in groups of this many; the last group of a cell is filled up
  // with stand-ins that are farther than any colour can be.
  static constexpr std::size_t kGroup = 4;
  struct Cell {
    std::uint32_t first = 0;  // in candidates_
    std::uint32_t count = 0;  // candidates and stand-ins; 0: not listed yet
  };
  struct Candidate {
    std::int16_t red = 0, green = 0, blue = 0;
    std::uint8_t index = 0;
  };
  const Cell& ListCandidates(unsigned cell_index);
  // Nearest() for a colour whose cube has no answer kept.
  std::uint8_t Resolve(unsigned cube, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  std::uint8_t SearchCandidates(const Cell& cell, std::uint8_t red, std::uint8_t green,
                                std::uint8_t blue) const {
    const Candidate* candidate = candidates_.data() + cell.first;
    std::int32_t best_distance = INT32_MAX;
    std::uint8_t best = 0;
    for (std::uint32_t k = 0; k < cell.count; k += kGroup) {
      for (std::size_t j = 0; j < kGroup; ++j) {
        const Candidate& c = candidate[k + j];
        const std::int32_t dr = c.red - red, dg = c.green - green, db = c.blue - blue;
        const std::int32_t distance = dr * dr + dg * dg + db * db;
        // Strictly nearer: of equally near entries the first listed (lowest index) stays.
        const bool nearer = distance < best_distance;
        best_distance = nearer ? distance : best_distance;
        best = nearer ? c.index : best;
      }
    }
    return best;
  }

  int count_;
  std::array<std::int32_t, kGifPaletteSize> red_{}, green_{}, blue_{};
  std::vector<Cell> cells_;
  std::vector<Candidate> candidates_;
  std::vector<std::uint16_t> cubes_;
};

// One palette index a pixel, rows from the top, each row from the left, width bytes a row.
// Bands of rows are mapped on all cores (threads 0), or on that many threads.
std::vector<std::uint8_t> ReduceColors(const Picture& picture, const TGIFColorMap& palette,
                                       unsigned threads = 0);

// The same indices handed to sink row by row, top row first, on the calling thread
// while later rows are being mapped; only a few bands of rows are held at a time.
void MapRowsInOrder(const Picture& picture, const TGIFColorMap& palette, unsigned threads,
                    const std::function<void(const std::uint8_t* indices)>& sink);

// Sorts the table by descending use (equal uses keep their order), renumbers the
// pixels to match and drops the entries no pixel uses. A table of at most one entry
// stays as it is.
void OptimizeColorTable(TGIFColorMap& table, std::span<std::uint8_t> pixels);

}  // namespace qel
