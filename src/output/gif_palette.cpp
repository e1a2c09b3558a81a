#include "output/gif_palette.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>

#include "imaging/parallel_in_order.h"
#include "output/system_palette.h"

namespace qel {

TGIFColorMap OptimizedPaletteWithSystemColors(const Picture& picture) {
  TColorQuantizer quantizer(kQuantizedColorLimit);
  quantizer.AddPicture(picture);
  const std::vector<TRGBTriple> quantized = quantizer.ColorTable();
  const auto& system = SystemPaletteColors();
  constexpr int kHalf = kSystemColorCount / 2;

  TGIFColorMap palette;  // every entry starts black
  std::copy_n(system.begin(), kHalf, palette.colors.begin());
  const std::size_t taken = std::min<std::size_t>(quantized.size(), kQuantizedColorLimit);
  std::copy_n(quantized.begin(), taken, palette.colors.begin() + kFirstQuantizedEntry);
  std::copy_n(system.begin() + kHalf, kHalf, palette.colors.end() - kHalf);
  palette.count = kGifPaletteSize;
  return palette;
}

TNearestColorMapper::TNearestColorMapper(const TGIFColorMap& palette)
    : count_(std::clamp(palette.count, 0, kGifPaletteSize)),
      cells_(std::size_t(kCellsPerSide) * kCellsPerSide * kCellsPerSide),
      cubes_(std::size_t(1) << (3 * kCubeIndexBits), 0) {
  for (int i = 0; i < count_; ++i) {
    red_[std::size_t(i)] = palette.colors[std::size_t(i)].red;
    green_[std::size_t(i)] = palette.colors[std::size_t(i)].green;
    blue_[std::size_t(i)] = palette.colors[std::size_t(i)].blue;
  }
}

std::uint8_t TNearestColorMapper::Search(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
  std::int32_t best_distance = INT32_MAX;
  int best = 0;
  for (int i = 0; i < count_; ++i) {
    const std::int32_t dr = red_[std::size_t(i)] - red;
    const std::int32_t dg = green_[std::size_t(i)] - green;
    const std::int32_t db = blue_[std::size_t(i)] - blue;
    const std::int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
    }
  }
  return std::uint8_t(best);
}

namespace {

// Distance along one channel from a value to the interval [low, high]: the nearest
// and the farthest point.
std::int32_t NearGap(std::int32_t value, std::int32_t low, std::int32_t high) {
  return value < low ? low - value : value > high ? value - high : 0;
}
std::int32_t FarGap(std::int32_t value, std::int32_t low, std::int32_t high) {
  return std::max(value - low, high - value);
}

}  // namespace

const TNearestColorMapper::Cell& TNearestColorMapper::ListCandidates(unsigned cell_index) {
  Cell& cell = cells_[cell_index];
  constexpr std::int32_t kSpan = (1 << kCellBits) - 1;
  const std::int32_t r0 = std::int32_t(cell_index / (kCellsPerSide * kCellsPerSide)) << kCellBits;
  const std::int32_t g0 = std::int32_t(cell_index / kCellsPerSide % kCellsPerSide) << kCellBits;
  const std::int32_t b0 = std::int32_t(cell_index % kCellsPerSide) << kCellBits;
  std::array<std::int32_t, kGifPaletteSize> nearest{};
  // No colour of the cell is farther than bound from its nearest entry, so an entry
  // whose nearest point of the cell lies beyond bound is never chosen for it.
  std::int32_t bound = INT32_MAX;
  for (int i = 0; i < count_; ++i) {
    const std::size_t e = std::size_t(i);
    const std::int32_t nr = NearGap(red_[e], r0, r0 + kSpan), ng = NearGap(green_[e], g0, g0 + kSpan),
                       nb = NearGap(blue_[e], b0, b0 + kSpan);
    const std::int32_t fr = FarGap(red_[e], r0, r0 + kSpan), fg = FarGap(green_[e], g0, g0 + kSpan),
                       fb = FarGap(blue_[e], b0, b0 + kSpan);
    nearest[e] = nr * nr + ng * ng + nb * nb;
    bound = std::min(bound, fr * fr + fg * fg + fb * fb);
  }
  cell.first = std::uint32_t(candidates_.size());
  for (int i = 0; i < count_; ++i) {
    const std::size_t e = std::size_t(i);
    if (nearest[e] <= bound) {
      candidates_.push_back(
          {std::int16_t(red_[e]), std::int16_t(green_[e]), std::int16_t(blue_[e]), std::uint8_t(i)});
    }
  }
  if (count_ == 0) candidates_.push_back({});
  // 3 x 10000^2 is beyond every real distance (at most 3 x 255^2) and within 32 bits.
  constexpr std::int16_t kFar = 10000;
  while ((candidates_.size() - cell.first) % kGroup != 0) candidates_.push_back({kFar, kFar, kFar, 0});
  cell.count = std::uint32_t(candidates_.size() - cell.first);
  return cell;
}

std::uint8_t TNearestColorMapper::Resolve(unsigned cube, std::uint8_t red, std::uint8_t green,
                                          std::uint8_t blue) {
  const unsigned cell_index =
      (unsigned(red >> kCellBits) * kCellsPerSide + unsigned(green >> kCellBits)) * kCellsPerSide +
      unsigned(blue >> kCellBits);
  const Cell* cell = &cells_[cell_index];
  if (cell->count == 0) cell = &ListCandidates(cell_index);
  if (cubes_[cube] == 0) {
    // The cube lies in the cell, so only the cell's candidates can be nearest to its
    // colours; the same bound as for the cell tells whether one of them always is.
    constexpr std::int32_t kSpan = (1 << kCubeBits) - 1;
    const std::int32_t r0 = red >> kCubeBits << kCubeBits, g0 = green >> kCubeBits << kCubeBits,
                       b0 = blue >> kCubeBits << kCubeBits;
    const Candidate* candidate = candidates_.data() + cell->first;
    std::int32_t bound = INT32_MAX;
    for (std::uint32_t k = 0; k < cell->count; ++k) {
      const Candidate& c = candidate[k];
      const std::int32_t fr = FarGap(c.red, r0, r0 + kSpan), fg = FarGap(c.green, g0, g0 + kSpan),
                         fb = FarGap(c.blue, b0, b0 + kSpan);
      bound = std::min(bound, fr * fr + fg * fg + fb * fb);
    }
    int within = 0;
    std::uint8_t only = 0;
    for (std::uint32_t k = 0; k < cell->count; ++k) {
      const Candidate& c = candidate[k];
      const std::int32_t nr = NearGap(c.red, r0, r0 + kSpan), ng = NearGap(c.green, g0, g0 + kSpan),
                         nb = NearGap(c.blue, b0, b0 + kSpan);
      if (nr * nr + ng * ng + nb * nb <= bound) {
        ++within;
        only = c.index;
      }
    }
    cubes_[cube] = within == 1 ? std::uint16_t(only + 1) : kMixedCube;
    if (within == 1) return only;
  }
  return SearchCandidates(*cell, red, green, blue);
}

namespace {

// Bands of this many rows are mapped at a time; a few of them per thread may wait for
// the caller.
constexpr int kRowsPerBand = 32;
constexpr int kBandsAheadPerThread = 4;

// The indices of rows [first, last), one row after the other.
std::vector<std::uint8_t> MapRows(const Picture& picture, int first, int last, TNearestColorMapper& mapper) {
  const std::size_t width = std::size_t(picture.Width());
  std::vector<std::uint8_t> indices(width * std::size_t(last - first));
  std::uint32_t last_color = 0xFFFFFFFFu;  // no colour
  std::uint8_t last_index = 0;
  std::uint8_t* out = indices.data();
  for (int y = first; y < last; ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (std::size_t x = 0; x < width; ++x) {
      // Runs of one colour are common in drawings and screenshots.
      const std::uint32_t color =
          std::uint32_t(row[3 * x]) << 16 | std::uint32_t(row[3 * x + 1]) << 8 | row[3 * x + 2];
      if (color != last_color) {
        last_color = color;
        last_index = mapper.Nearest(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
      }
      *out++ = last_index;
    }
  }
  return indices;
}

}  // namespace

void MapRowsInOrder(const Picture& picture, const TGIFColorMap& palette, unsigned threads,
                    const std::function<void(const std::uint8_t* indices)>& sink) {
  const int bands = (picture.Height() + kRowsPerBand - 1) / kRowsPerBand;
  const int used = std::clamp(ThreadCount(int(threads)), 1, std::max(bands, 1));
  // Each thread keeps its mapper, and with it the cells it has listed, from band to band.
  std::vector<std::unique_ptr<TNearestColorMapper>> mappers(static_cast<std::size_t>(used));
  const std::size_t width = std::size_t(picture.Width());
  ParallelInOrder<std::vector<std::uint8_t>>(
      used, bands, used * kBandsAheadPerThread,
      [&](int thread, int band) {
        std::unique_ptr<TNearestColorMapper>& mapper = mappers[std::size_t(thread)];
        if (!mapper) mapper = std::make_unique<TNearestColorMapper>(palette);
        const int first = band * kRowsPerBand;
        return MapRows(picture, first, std::min(picture.Height(), first + kRowsPerBand), *mapper);
      },
      [&](int, std::vector<std::uint8_t>& indices) {
        for (std::size_t at = 0; at < indices.size(); at += width) sink(indices.data() + at);
      });
}

std::vector<std::uint8_t> ReduceColors(const Picture& picture, const TGIFColorMap& palette,
                                       unsigned threads) {
  const std::size_t width = std::size_t(picture.Width());
  std::vector<std::uint8_t> pixels(width * std::size_t(picture.Height()));
  std::uint8_t* out = pixels.data();
  MapRowsInOrder(picture, palette, threads, [&](const std::uint8_t* indices) {
    std::copy_n(indices, width, out);
    out += width;
  });
  return pixels;
}

void OptimizeColorTable(TGIFColorMap& table, std::span<std::uint8_t> pixels) {
  const int count = std::clamp(table.count, 0, kGifPaletteSize);
  if (count <= 1) return;
  table.optimized = true;
  std::array<std::uint64_t, kGifPaletteSize> uses{};
  for (std::uint8_t index : pixels) ++uses[index];

  std::array<int, kGifPaletteSize> order{};
  std::iota(order.begin(), order.begin() + count, 0);
  std::stable_sort(order.begin(), order.begin() + count,
                   [&](int a, int b) { return uses[std::size_t(a)] > uses[std::size_t(b)]; });
  const int used =
      int(std::count_if(uses.begin(), uses.begin() + count, [](std::uint64_t n) { return n > 0; }));

  bool reordered = false;
  for (int i = 0; i < count; ++i) reordered = reordered || order[std::size_t(i)] != i;
  if (reordered) {
    std::array<std::uint8_t, kGifPaletteSize> new_index{};
    for (int i = 0; i < count; ++i) new_index[std::size_t(order[std::size_t(i)])] = std::uint8_t(i);
    for (std::uint8_t& index : pixels) index = new_index[index];
    const auto old_colors = table.colors;
    for (int i = 0; i < count; ++i)
      table.colors[std::size_t(i)] = old_colors[std::size_t(order[std::size_t(i)])];
  }
  // Entries no pixel uses are at the end now, also when the order was right already;
  // dropping them leaves room for a transparent entry.
  table.count = used;
}

}  // namespace qel
