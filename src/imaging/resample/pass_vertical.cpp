#include "imaging/resample/passes.h"

namespace qel::resample {

void ResampleColumns(const Picture& intermediate, const WeightTable& lists, LineCache& cache, Picture& target,
                     PassProgress* progress) {
  const int source_height = intermediate.Height();
  const int target_height = target.Height();
  const std::size_t stride = target.RowSize();
  for (int x = 0; x < target.Width(); ++x) {
    const std::size_t offset = 3 * std::size_t(x);
    // The column is strided in memory; gather it once so the sums below read it contiguously.
    for (int y = 0; y < source_height; ++y) cache.Set(std::size_t(y), intermediate.Row(y) + offset);
    std::uint8_t* out = target.Row(0) + offset;
    for (int y = 0; y < target_height; ++y, out += stride) cache.Apply(lists.List(y), out);
    if (progress) progress->Part(50, 100, x + 1, target.Width(), TRect{0, 0, x + 1, target_height});
  }
}

}  // namespace qel::resample
