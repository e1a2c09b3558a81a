#include "app/display_resampler.h"

#include <QMetaObject>
#include <exception>

#include "imaging/graphic.h"
#include "imaging/picture_commands.h"
#include "imaging/resample.h"

namespace qel {

namespace {

// Thrown from the resampler's progress notifications to abandon work nobody waits for.
struct Abandoned {};

class StopWhenStale final : public ProgressObserver {
 public:
  StopWhenStale(const std::atomic<std::uint64_t>& latest, std::uint64_t serial, std::stop_token stop)
      : latest_(latest), serial_(serial), stop_(std::move(stop)) {}
  void OnProgress(ProgressStage, int, const TRect&, std::string_view) override {
    if (latest_.load(std::memory_order_relaxed) != serial_ || stop_.stop_requested()) throw Abandoned{};
  }
  void OnWarning(std::string_view) override {}

 private:
  const std::atomic<std::uint64_t>& latest_;
  std::uint64_t serial_;
  std::stop_token stop_;
};

}  // namespace

TDisplayResampler::TDisplayResampler(QObject* parent)
    : QObject(parent), worker_([this](std::stop_token stop) { Run(std::move(stop)); }) {}

TDisplayResampler::~TDisplayResampler() {
  worker_.request_stop();
  wake_.notify_all();
  worker_.join();
}

void TDisplayResampler::Request(const TViewKey& key, const Picture& source) {
  auto copy = std::make_unique<Picture>(source);
  std::lock_guard lock(mutex_);
  const std::uint64_t serial = latest_.load() + 1;
  latest_.store(serial);
  pending_ = Job{serial, key, std::move(copy)};
  done_.reset();
  wake_.notify_all();
}

void TDisplayResampler::Cancel() {
  std::lock_guard lock(mutex_);
  latest_.store(latest_.load() + 1);
  pending_.reset();
  done_.reset();
}

void TDisplayResampler::Run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); })) return;
      job = std::move(*pending_);
      pending_.reset();
    }
    Picture target;
    try {
      StopWhenStale observer(latest_, job.serial, stop);
      ResampleInto(job.key.width, job.key.height, job.key.filter, 0, *job.source, target, &observer);
      if (job.key.sharpen && target.Width() >= 3 && target.Height() >= 3) commands::Sharpen(target);
    } catch (...) {
      // Abandoned, or beyond the memory at hand: the window goes on showing its quick
      // scaling, which is all that is lost.
      continue;
    }
    job.source.reset();
    std::lock_guard lock(mutex_);
    if (job.serial != latest_.load()) continue;
    done_ = Done{job.serial, job.key, std::move(target)};
    if (delivery_queued_) continue;
    delivery_queued_ = true;
    // A delivery still queued when the object goes is dropped with it.
    QMetaObject::invokeMethod(this, &TDisplayResampler::Deliver, Qt::QueuedConnection);
  }
}

void TDisplayResampler::Deliver() {
  std::optional<Done> done;
  {
    std::lock_guard lock(mutex_);
    delivery_queued_ = false;
    done.swap(done_);
  }
  if (!done || done->serial != latest_.load()) return;
  result_key_ = done->key;
  result_ = std::move(done->picture);
  emit Finished();
}

}  // namespace qel
