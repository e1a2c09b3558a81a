#include "imaging/resample/simd_level.h"

#include <algorithm>

namespace qel::resample {

SimdLevel DetectSimdLevel() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse4.1")) return SimdLevel::kSse41;
#endif
  return SimdLevel::kScalar;
}

SimdLevel UsableSimdLevel(SimdLevel wanted) {
  return std::min(wanted, DetectSimdLevel());
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kAvx2:
      return "AVX2";
    case SimdLevel::kSse41:
      return "SSE4.1";
    case SimdLevel::kScalar:
      break;
  }
  return "scalar";
}

}  // namespace qel::resample
