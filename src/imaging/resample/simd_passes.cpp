#include "imaging/resample/simd_passes.h"

#include <utility>

namespace qel::resample {

LineWeights MakeLineWeights(DenseWeights dense) {
  LineWeights line{std::move(dense), {}, {}};
  const auto values = 3 * std::size_t(line.dense.padded_count);
  line.limit3.resize(values);
  line.reciprocal3.resize(values);
  for (std::size_t i = 0; i < values; ++i) {
    line.limit3[i] = line.dense.divisor[i / 3] << 8;
    line.reciprocal3[i] = line.dense.reciprocal[i / 3];
  }
  return line;
}

const SimdPasses* SimdPassesFor(SimdLevel level) {
#if defined(__x86_64__) || defined(__i386__)
  switch (level) {
    case SimdLevel::kAvx2:
      return &Avx2Passes();
    case SimdLevel::kSse41:
      return &Sse41Passes();
    case SimdLevel::kScalar:
      break;
  }
#else
  (void)level;
#endif
  return nullptr;
}

}  // namespace qel::resample
