// Running a row operation over a picture, spread over the cores when the picture is
// large enough for that to pay. The operation must touch only its own row's output.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/parallel.h"
#include "imaging/picture.h"

namespace qel {

// From this many pixels on, a point operation is split over threads.
inline constexpr std::int64_t kPixelsForThreads = std::int64_t(1) << 18;

// Calls row_op(y) once for every row y of a height x width picture.
template <typename RowOp>
void ForEachRow(int width, int height, RowOp&& row_op) {
  constexpr int kRowsPerTask = 32;
  const std::int64_t pixels = std::int64_t(width) * height;
  const int threads = pixels >= kPixelsForThreads ? ThreadCount(0) : 1;
  if (threads == 1) {
    for (int y = 0; y < height; ++y) row_op(y);
    return;
  }
  ParallelFor(threads, (height + kRowsPerTask - 1) / kRowsPerTask, [&](int, int task) {
    const int end = std::min(height, (task + 1) * kRowsPerTask);
    for (int y = task * kRowsPerTask; y < end; ++y) row_op(y);
  });
}

}  // namespace qel
