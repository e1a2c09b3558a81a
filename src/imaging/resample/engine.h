// The two engines behind ResampleInto: the plain scalar one, which states the
// arithmetic, and the fast one, which splits the passes over threads and runs vector
// code. Both give the same bytes for every input; the tests hold them to that.
#pragma once

#include "imaging/graphic.h"
#include "imaging/picture.h"
#include "imaging/resample/kernels.h"
#include "imaging/resample/simd_level.h"

namespace qel::resample {

struct EngineOptions {
  // Threads for the passes, the caller's among them; 0 takes one a hardware thread.
  int threads = 0;
  // The widest instruction set to use; the machine may offer less.
  SimdLevel simd = SimdLevel::kAvx2;
};

// What both engines check before they start: the sizes within the picture limits (the
// intermediate picture's too) and the radius within reason. Throws the error a resize
// reports; otherwise gives the kernel and the radius to use (the kernel's own for 0).
struct ResampleSetup {
  const FilterKernel* kernel;
  float radius;
};
ResampleSetup CheckResample(int width, int height, int filter, float radius, const Picture& source);

// The scalar engine, one thread: every row through a line cache, then every column.
// Both engines tell the observer (when given) how far they are, as ResampleInto does.
void ResampleIntoReference(int width, int height, int filter, float radius, const Picture& source,
                           Picture& target, ProgressObserver* observer = nullptr);

// The fast engine with the given threads and instruction set. ResampleInto calls it
// with the default options.
void ResampleIntoFast(int width, int height, int filter, float radius, const Picture& source, Picture& target,
                      const EngineOptions& options, ProgressObserver* observer = nullptr);

// The passes of the fast engine over given weight lists, for the tests and the
// benchmarks: target is already of the new size (columns.Count() x rows.Count()) and
// gets every byte, the row padding white. Lists the vector kernels cannot take go
// through the scalar passes.
// Progress goes only to the caller's thread (the others count what they have done).
struct SimdPasses;
class WeightTable;
class PassProgress;
void ResampleWithListsFast(const WeightTable& columns, const WeightTable& rows, const Picture& source,
                           Picture& target, const SimdPasses& passes, const EngineOptions& options,
                           PassProgress* progress = nullptr);

}  // namespace qel::resample
