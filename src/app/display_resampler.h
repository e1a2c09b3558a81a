// Resampling a picture to the size the window draws it at, away from the window's
// thread: the window keeps answering while a large picture is resampled, and shows the
// result once it is there.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "imaging/picture.h"

namespace qel {

// Which resampled picture is meant: the picture's state (a number that changes with
// every change of the picture), the size, the filter number and whether it is
// sharpened afterwards, as "Resize image" does with "Sharpen after resize".
struct TViewKey {
  std::uint64_t picture_state = 0;
  int width = 0;
  int height = 0;
  int filter = 0;
  bool sharpen = false;
  friend bool operator==(const TViewKey&, const TViewKey&) = default;
};

class TDisplayResampler : public QObject {
  Q_OBJECT

 public:
  explicit TDisplayResampler(QObject* parent = nullptr);
  // Stops the work in hand and waits for the helper thread to end.
  ~TDisplayResampler() override;
  TDisplayResampler(const TDisplayResampler&) = delete;
  TDisplayResampler& operator=(const TDisplayResampler&) = delete;

  // Resamples a copy of the source (taken now) to the key's size with its filter, and
  // sharpens it when the key says so (a picture of 3 x 3 pixels or more). A
  // request replaces the one before: work on that is stopped and its result never
  // delivered.
  void Request(const TViewKey& key, const Picture& source);
  // Stops the work in hand; nothing is delivered until the next request.
  void Cancel();

  // The last picture delivered, and its key (none before the first).
  const std::optional<TViewKey>& ResultKey() const { return result_key_; }
  const Picture& Result() const { return result_; }

 signals:
  // A result has arrived (on the object's own thread); ResultKey names it.
  void Finished();

 private:
  struct Job {
    std::uint64_t serial = 0;
    TViewKey key;
    std::unique_ptr<Picture> source;
  };
  struct Done {
    std::uint64_t serial = 0;
    TViewKey key;
    Picture picture;
  };

  void Run(std::stop_token stop);
  // On the object's thread: takes the finished picture over.
  void Deliver();

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::optional<Job> pending_;
  // The latest finished picture, until the object's thread takes it; one delivery at a
  // time is queued for it, however many pictures finish before it runs.
  std::optional<Done> done_;
  bool delivery_queued_ = false;
  // The serial of the latest request; work on an older one stops at its next step.
  std::atomic<std::uint64_t> latest_{0};
  std::optional<TViewKey> result_key_;
  Picture result_;
  std::jthread worker_;  // last: it starts once everything above exists
};

}  // namespace qel
