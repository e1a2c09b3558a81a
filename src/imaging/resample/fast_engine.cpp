// The fast engine: the same weight lists, byte intermediate and arithmetic as the
// scalar engine, with the sums taken by vector kernels and the work spread over threads.
//
// Each thread takes a run of destination rows. It resamples the source rows they need
// into a small ring of intermediate rows, just as many as the longest vertical list
// spans, and combines each destination row from the ring while those rows are still in
// the cache. Only the rows at the start of a run are resampled twice (by the run
// before it too). When the ring would be as large as the intermediate picture itself
// (reducing the height by a large factor), the engine makes the whole intermediate
// picture first, its rows spread over the threads, and then the destination rows.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "base/parallel.h"
#include "imaging/resample/dense_weights.h"
#include "imaging/resample/engine.h"
#include "imaging/resample/fast_weights.h"
#include "imaging/resample/line_cache.h"
#include "imaging/resample/passes.h"
#include "imaging/resample/scalar_sums.h"
#include "imaging/resample/simd_passes.h"
#include "imaging/resample/weights.h"

namespace qel::resample {

namespace {

// Left to choose the thread count, the engine gives each thread at least this many
// destination pixels; below it the threads cost more than they save.
constexpr std::int64_t kPixelsPerThread = 1 << 15;
// Runs of destination rows per thread: enough that a thread the system holds back
// leaves its share to the others, few enough that the rows resampled twice stay few.
constexpr int kRunsPerThread = 4;
// With the whole intermediate picture: source rows per task of the first pass, and
// destination rows per task of the second.
constexpr int kRowsPerTask = 8;

int ThreadsFor(const EngineOptions& options, std::int64_t pixels) {
  if (options.threads > 0) return options.threads;
  return static_cast<int>(std::clamp<std::int64_t>(pixels / kPixelsPerThread, 1, ThreadCount(0)));
}

// Resamples source rows to intermediate rows: three planes of the line, zero past its
// end for the longest window to run into.
class RowResampler {
 public:
  RowResampler(const Picture& source, const LineWeights& weights, const SimdPasses& passes)
      : source_(source),
        weights_(weights),
        passes_(passes),
        plane_(std::size_t(source.Width()) + std::size_t(weights.dense.taps)),
        buffer_(3 * plane_, 0) {}

  void Resample(int y, std::uint8_t* out) {
    std::int16_t* const blue = buffer_.data();
    std::int16_t* const green = blue + plane_;
    std::int16_t* const red = green + plane_;
    passes_.split_planes(source_.Row(y), source_.Width(), blue, green, red);
    const std::int16_t* const planes[3] = {blue, green, red};
    passes_.resample_line(weights_, planes, out);
    for (const int list : weights_.dense.zero_total) PutZeroTotalPixel(list, planes, out);
  }

 private:
  // The pixel of a list whose weights total 0.
  void PutZeroTotalPixel(int list, const std::int16_t* const planes[3], std::uint8_t* out) const {
    const DenseWeights& w = weights_.dense;
    const std::int16_t* weights = w.Weights(list);
    const std::int32_t first = w.first[std::size_t(list)];
    for (int c = 0; c < 3; ++c) {
      std::int32_t sum = 0;
      for (int k = 0; k < w.length[std::size_t(list)]; ++k) sum += weights[k] * planes[c][first + k];
      out[3 * std::size_t(list) + std::size_t(c)] = ZeroTotalValue(sum);
    }
  }

  const Picture& source_;
  const LineWeights& weights_;
  const SimdPasses& passes_;
  std::size_t plane_;
  std::vector<std::int16_t> buffer_;
};

// Bytes [begin, end) of destination row y from the intermediate rows rows[0..length).
void CombineRow(const DenseWeights& w, const std::vector<char>& zero_total, const SimdPasses& passes, int y,
                const std::uint8_t* const* rows, std::uint8_t* out, std::size_t begin, std::size_t end) {
  const auto list = std::size_t(y);
  const std::int16_t* weights = w.Weights(y);
  if (zero_total[list]) {
    for (std::size_t i = begin; i < end; ++i)
      out[i] = ZeroTotalValue(ColumnSum(rows, weights, w.length[list], i));
  } else {
    passes.combine_rows(rows, weights, w.length[list], w.divisor[list], w.reciprocal[list], out, begin, end);
  }
}

// Intermediate rows lo .. hi - 1 of the picture, held in `capacity` slots, row r in
// slot r mod capacity.
class RowRing {
 public:
  RowRing(int capacity, std::size_t row_bytes)
      : capacity_(capacity), stride_((row_bytes + 63) / 64 * 64), bytes_(std::size_t(capacity) * stride_) {}

  // Makes the ring hold rows first .. first + length - 1 (length <= capacity), resampling
  // those it lacks, and points rows[k] at row first + k.
  void Hold(int first, int length, RowResampler& resampler, const std::uint8_t** rows) {
    if (first < lo_ || first > hi_) lo_ = hi_ = first;  // nothing to keep
    lo_ = first;
    for (; hi_ < first + length; ++hi_) resampler.Resample(hi_, Slot(hi_));
    for (int k = 0; k < length; ++k) rows[k] = Slot(first + k);
  }

 private:
  std::uint8_t* Slot(int row) { return bytes_.data() + std::size_t(row % capacity_) * stride_; }

  int capacity_;
  std::size_t stride_;
  std::vector<std::uint8_t> bytes_;
  int lo_ = 0, hi_ = 0;
};

// Counts the lines every thread finishes; the caller's thread (thread 0) passes the
// count on, so that the observer is only ever called on the thread that started the
// resize. Without progress wanted it does nothing at all.
class LinesDone {
 public:
  LinesDone(PassProgress* progress, int from, int to, int width, int total)
      : progress_(progress && progress->Wanted() ? progress : nullptr),
        from_(from),
        to_(to),
        width_(width),
        total_(total) {}

  void Add(int thread, int lines) {
    if (!progress_) return;
    const int done = done_.fetch_add(lines, std::memory_order_relaxed) + lines;
    if (thread == 0) progress_->Part(from_, to_, done, total_, TRect{0, 0, width_, done});
  }
  // Once the threads are joined: the other threads' last lines.
  void Finish() {
    if (progress_) progress_->Part(from_, to_, total_, total_, TRect{0, 0, width_, total_});
  }

 private:
  PassProgress* progress_;
  int from_, to_, width_, total_;
  std::atomic<int> done_{0};
};

// Destination rows, each from a ring of intermediate rows made as they are needed.
void StreamRows(const Picture& source, const LineWeights& columns, const DenseWeights& rows_weights,
                const std::vector<char>& zero_total, const SimdPasses& passes, int threads, int span,
                Picture& target, PassProgress* progress) {
  const int rows = target.Height();
  const std::size_t row_bytes = 3 * std::size_t(target.Width());
  const int runs = std::min(rows, threads * kRunsPerThread);
  LinesDone done(progress, 0, 100, target.Width(), rows);
  ParallelFor(threads, runs, [&](int thread, int task) {
    // The last runs first: a picture just loaded or made has its last rows in the cache.
    const int run = runs - 1 - task;
    RowResampler resampler(source, columns, passes);
    RowRing ring(span, row_bytes);
    std::vector<const std::uint8_t*> window(static_cast<std::size_t>(span));
    const int begin = int(std::int64_t(rows) * run / runs), end = int(std::int64_t(rows) * (run + 1) / runs);
    for (int y = begin; y < end; ++y) {
      const auto list = std::size_t(y);
      ring.Hold(rows_weights.first[list], rows_weights.length[list], resampler, window.data());
      CombineRow(rows_weights, zero_total, passes, y, window.data(), target.Row(y), 0, row_bytes);
      done.Add(thread, 1);
    }
  });
  done.Finish();
}

// The whole intermediate picture first, then every destination row from it.
void ThroughIntermediate(const Picture& source, const LineWeights& columns, const DenseWeights& rows_weights,
                         const std::vector<char>& zero_total, const SimdPasses& passes, int threads,
                         Picture& target, PassProgress* progress) {
  Picture intermediate;
  intermediate.SetSizeUninitialized(target.Width(), source.Height());
  const int source_rows = source.Height();
  std::vector<std::optional<RowResampler>> resamplers(std::size_t(std::max(threads, 1)));
  LinesDone first_pass(progress, 0, 50, target.Width(), source_rows);
  ParallelFor(threads, (source_rows + kRowsPerTask - 1) / kRowsPerTask, [&](int thread, int task) {
    auto& resampler = resamplers[std::size_t(thread)];
    if (!resampler) resampler.emplace(source, columns, passes);
    const int begin = task * kRowsPerTask, end = std::min(source_rows, begin + kRowsPerTask);
    for (int y = begin; y < end; ++y) resampler->Resample(y, intermediate.Row(y));
    first_pass.Add(thread, end - begin);
  });
  first_pass.Finish();

  const int rows = target.Height();
  const std::size_t row_bytes = 3 * std::size_t(target.Width());
  LinesDone second_pass(progress, 50, 100, target.Width(), rows);
  ParallelFor(threads, (rows + kRowsPerTask - 1) / kRowsPerTask, [&](int thread, int task) {
    std::vector<const std::uint8_t*> window;
    const int begin = task * kRowsPerTask, end = std::min(rows, begin + kRowsPerTask);
    for (int y = begin; y < end; ++y) {
      const auto list = std::size_t(y);
      window.resize(std::size_t(rows_weights.length[list]));
      for (std::size_t k = 0; k < window.size(); ++k)
        window[k] = intermediate.Row(rows_weights.first[list] + int(k));
      CombineRow(rows_weights, zero_total, passes, y, window.data(), target.Row(y), 0, row_bytes);
    }
    second_pass.Add(thread, end - begin);
  });
  second_pass.Finish();
}

}  // namespace

void ResampleWithListsFast(const WeightTable& column_table, const WeightTable& row_table,
                           const Picture& source, Picture& target, const SimdPasses& passes,
                           const EngineOptions& options, PassProgress* progress) {
  const int width = target.Width(), height = target.Height();
  std::optional<DenseWeights> columns =
      MakeDenseWeights(column_table, source.Width(), passes.tap_block, passes.list_block);
  std::optional<DenseWeights> rows = MakeDenseWeights(row_table, source.Height(), 1, 1);
  if (!columns || !rows) {
    // Lists beyond what the vector kernels take (no kernel here makes them): the
    // scalar passes.
    LineCache cache{std::size_t(std::max(source.Width(), source.Height()))};
    Picture intermediate;
    intermediate.SetSizeUninitialized(width, source.Height());
    ResampleRows(source, column_table, cache, intermediate, progress);
    ResampleColumns(intermediate, row_table, cache, target, progress);
  } else {
    const LineWeights line_weights = MakeLineWeights(std::move(*columns));
    std::vector<char> zero_total(std::size_t(rows->count), 0);
    for (const int list : rows->zero_total) zero_total[std::size_t(list)] = 1;
    const int threads = ThreadsFor(options, std::int64_t(width) * height);
    const int span = rows->taps;  // the longest vertical window
    if (std::int64_t(span) * threads < source.Height()) {
      StreamRows(source, line_weights, *rows, zero_total, passes, threads, span, target, progress);
    } else {
      ThroughIntermediate(source, line_weights, *rows, zero_total, passes, threads, target, progress);
    }
  }
  // The passes write the pixels; the row padding is white, as in a new picture.
  const std::size_t pixel_bytes = 3 * std::size_t(width);
  for (int y = 0; y < height; ++y)
    std::memset(target.Row(y) + pixel_bytes, 0xFF, target.RowSize() - pixel_bytes);
}

void ResampleIntoFast(int width, int height, int filter, float radius, const Picture& source, Picture& target,
                      const EngineOptions& options, ProgressObserver* observer) {
  const SimdPasses* passes = SimdPassesFor(UsableSimdLevel(options.simd));
  if (!passes) return ResampleIntoReference(width, height, filter, radius, source, target, observer);
  const ResampleSetup setup = CheckResample(width, height, filter, radius, source);
  const int source_width = source.Width(), source_height = source.Height();
  if (source_width == 0 || source_height == 0 || width == 0 || height == 0) {
    return ResampleIntoReference(width, height, filter, radius, source, target, observer);  // a white target
  }
  PassProgress progress(observer);
  progress.Start();
  // The two axes' lists do not depend on each other: with threads to spare, both at once.
  WeightTable columns, rows;
  ParallelFor(ThreadsFor(options, std::int64_t(width) * height), 2, [&](int, int axis) {
    if (axis == 0) {
      columns = BuildWeightTableFast(width, source_width, AxisScale(width, source_width), *setup.kernel,
                                     setup.radius);
    } else {
      rows = BuildWeightTableFast(height, source_height, AxisScale(height, source_height), *setup.kernel,
                                  setup.radius);
    }
  });
  // As in the scalar engine, the result is built aside and handed over at the end.
  Picture result;
  result.SetSizeUninitialized(width, height);
  ResampleWithListsFast(columns, rows, source, result, *passes, options, &progress);
  result.SetPalette(target.GetPalette());
  target.Assign(std::move(result));
  progress.End();
}

}  // namespace qel::resample
