// Progress notifications of a resize. The scalar engine's rows of the first pass fill
// the first half of the percent range and the columns of its second pass the other
// half; the fast engine, which makes destination rows straight from source rows, fills
// the range with the destination rows done (or, when it makes the whole intermediate
// picture first, both halves with rows). The rectangle tells how many lines are done,
// not where: threads work on several parts at once. Without an observer every call is
// one test of a null pointer. Only one thread may call it.
#pragma once

#include <cstdint>

#include "imaging/graphic.h"

namespace qel::resample {

inline constexpr const char* kResizingMessage = "Resizing...";

class PassProgress {
 public:
  explicit PassProgress(ProgressObserver* observer) : observer_(observer) {}

  bool Wanted() const { return observer_ != nullptr; }
  void Start() {
    if (observer_) observer_->OnProgress(ProgressStage::kStarting, 0, {}, kResizingMessage);
  }
  // done of total lines of a part of the work that spans percent from .. to are
  // finished; sent when the percent changes.
  void Part(int from, int to, int done, int total, const TRect& rect) {
    if (!observer_ || total <= 0) return;
    const int percent = from + int(std::int64_t(done) * (to - from) / total);
    if (percent == last_percent_) return;
    last_percent_ = percent;
    observer_->OnProgress(ProgressStage::kRunning, percent, rect, kResizingMessage);
  }
  void End() {
    if (observer_) observer_->OnProgress(ProgressStage::kEnding, 100, {}, kResizingMessage);
  }

 private:
  ProgressObserver* observer_;
  int last_percent_ = -1;
};

}  // namespace qel::resample
