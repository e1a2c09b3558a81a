#include "imaging/resample/passes.h"

namespace qel::resample {

void ResampleRows(const Picture& source, const WeightTable& lists, LineCache& cache, Picture& intermediate,
                  PassProgress* progress) {
  const int source_width = source.Width();
  const int target_width = intermediate.Width();
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* in = source.Row(y);
    for (int x = 0; x < source_width; ++x) cache.Set(std::size_t(x), in + 3 * std::size_t(x));
    std::uint8_t* out = intermediate.Row(y);
    for (int x = 0; x < target_width; ++x) cache.Apply(lists.List(x), out + 3 * std::size_t(x));
    if (progress) progress->Part(0, 50, y + 1, source.Height(), TRect{0, 0, target_width, y + 1});
  }
}

}  // namespace qel::resample
