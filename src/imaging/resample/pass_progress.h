// Progress notifications of a resize: the rows done of the first pass fill the first
// half of the percent range, the columns of the second pass the other half. Without an
// observer every call is one test of a null pointer.
#pragma once

#include <cstdint>

#include "imaging/graphic.h"

namespace qel::resample {

inline constexpr const char* kResizingMessage = "Resizing...";

class PassProgress {
 public:
  explicit PassProgress(ProgressObserver* observer) : observer_(observer) {}

  void Start() {
    if (observer_) observer_->OnProgress(ProgressStage::kStarting, 0, {}, kResizingMessage);
  }
  // done of total lines of the pass (0 the rows, 1 the columns) are finished; the
  // rectangle is the part of that pass's output written so far.
  void Lines(int pass, int done, int total, int width, int height) {
    if (!observer_ || total <= 0) return;
    const int percent = pass * 50 + int(std::int64_t(done) * 50 / total);
    if (percent == last_percent_) return;
    last_percent_ = percent;
    const TRect rect = pass == 0 ? TRect{0, 0, width, done} : TRect{0, 0, done, height};
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
