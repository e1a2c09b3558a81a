// The thin bar along the bottom edge of the main window that shows how far a long load,
// resize or save has come. The commands run on the user-interface thread and no events
// are processed while they work, so the bar is painted straight from the progress
// notifications; it lies over the window's other children and changes nothing of the
// picture, the title or the geometry the commands use.
#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <future>
#include <string_view>
#include <utility>

#include "imaging/graphic.h"

namespace qel {

class TProgressBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kThickness = 4;
  // Value() of a bar that shows work without a known share: a block sliding along.
  static constexpr int kBusy = -1;
  // How long a command runs before the bar appears.
  static constexpr std::chrono::milliseconds kDefaultDelay{200};

  // A hidden bar on the window (which owns it).
  explicit TProgressBar(QWidget* window);

  // Percent done (0 to 100), or kBusy.
  int Value() const { return value_; }
  // Sets the value; a busy bar moves its block on by one step each time.
  void SetValue(int percent);
  // Lays the bar along the bottom edge of its window, above everything else there,
  // shows it and paints it at once.
  void ShowNow();
  // Paints it at once (nothing while hidden).
  void PaintNow();

  std::chrono::milliseconds Delay() const { return delay_; }
  void SetDelay(std::chrono::milliseconds delay) { delay_ = delay; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int value_ = 0;
  int busy_step_ = 0;
  std::chrono::milliseconds delay_ = kDefaultDelay;
};

// Follows the progress of one command: created when the command starts, it shows the
// bar once the command has taken longer than the bar's delay, keeps it to the
// notifications (repainting at most every kRepaintInterval) and hides it when it goes.
class TCommandProgress : public ProgressObserver {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kRepaintInterval{25};

  using WarningSink = std::function<void(std::string_view)>;
  // A null bar shows no progress; warnings go to the sink when there is one.
  explicit TCommandProgress(TProgressBar* bar, WarningSink warnings = {});
  ~TCommandProgress() override;
  TCommandProgress(const TCommandProgress&) = delete;
  TCommandProgress& operator=(const TCommandProgress&) = delete;

  void OnProgress(ProgressStage stage, int percent, const TRect& rect, std::string_view message) override;
  // Warnings do not stop a load; they are shown as they come.
  void OnWarning(std::string_view text) override {
    if (warnings_) warnings_(text);
  }

  // For work that sends no notifications (the writers): runs it on a helper thread
  // while this thread waits for it, showing a busy bar once the delay has passed. This
  // thread processes no events in the meantime, exactly as when the work runs on it;
  // the work must not touch the window. Its result is returned, its error passed on.
  template <typename Work>
  auto RunAside(Work&& work) {
    auto result = std::async(std::launch::async, std::forward<Work>(work));
    while (result.wait_for(kRepaintInterval) != std::future_status::ready) Update(TProgressBar::kBusy);
    return result.get();
  }

 private:
  void Update(int percent);

  TProgressBar* bar_;
  WarningSink warnings_;
  Clock::time_point start_;
  Clock::time_point last_paint_;
};

}  // namespace qel
