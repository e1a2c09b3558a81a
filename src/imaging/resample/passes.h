// The two passes of the resampler.
#pragma once

#include "imaging/picture.h"
#include "imaging/resample/line_cache.h"
#include "imaging/resample/pass_progress.h"
#include "imaging/resample/weights.h"

namespace qel::resample {

// Resamples every row of source to intermediate.Width() pixels with the horizontal
// lists; intermediate is intermediate.Width() x source.Height(), and the cache holds at
// least source.Width() pixels.
void ResampleRows(const Picture& source, const WeightTable& lists, LineCache& cache, Picture& intermediate,
                  PassProgress* progress = nullptr);

// Resamples every column of intermediate to target.Height() pixels with the vertical
// lists; target is intermediate.Width() x target.Height(), and the cache holds at least
// intermediate.Height() pixels.
void ResampleColumns(const Picture& intermediate, const WeightTable& lists, LineCache& cache, Picture& target,
                     PassProgress* progress = nullptr);

}  // namespace qel::resample
