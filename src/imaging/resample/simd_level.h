// Which vector instructions the processor offers, asked once per call.
#pragma once

namespace qel::resample {

// Ordered: each level includes the ones before it.
enum class SimdLevel : int {
  kScalar = 0,
  kSse41 = 1,
  kAvx2 = 2,
};

// The widest level this processor runs.
SimdLevel DetectSimdLevel();

// The lower of the wanted level and what the processor runs.
SimdLevel UsableSimdLevel(SimdLevel wanted);

const char* SimdLevelName(SimdLevel level);

}  // namespace qel::resample
