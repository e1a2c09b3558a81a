// Producing the parts of a result on all cores while the calling thread takes them in
// order: a file written band by band while later bands are still being worked on.
// Threads are made for one call and joined before it returns; nothing outlives it.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "base/parallel.h"

namespace qel {

namespace parallel_detail {

// The tasks of one ParallelInOrder call and the results waiting to be consumed.
template <typename Result>
class OrderedTasks {
 public:
  OrderedTasks(int count, int ahead, const std::function<Result(int, int)>& produce)
      : count_(count), ahead_(std::max(ahead, 1)), produce_(produce), slots_(std::size_t(count)) {}

  // A helper thread: takes the next task while it is not too far ahead of the consumer.
  void Work(int thread) {
    for (;;) {
      int task = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ >= count_ || next_ < consumed_ + ahead_; });
        if (stop_ || next_ >= count_) return;
        task = next_++;
      }
      Run(thread, task);
    }
  }

  // The result of task. While it is not done, the calling thread produces the next
  // task nobody has taken (this one, or one further on within the window) instead of
  // sitting idle. The task's exception is passed on.
  Result Take(int task) {
    Slot& slot = slots_[std::size_t(task)];
    std::unique_lock lock(mutex_);
    while (!slot.done) {
      const bool next_is_this = next_ == task;
      const bool may_work_ahead = !stop_ && next_ < count_ && next_ < consumed_ + ahead_;
      if (next_is_this || may_work_ahead) {
        const int taken = next_++;
        lock.unlock();
        Run(0, taken);
        lock.lock();
        continue;
      }
      changed_.wait(lock);
    }
    if (slot.error) std::rethrow_exception(slot.error);
    Result result = std::move(*slot.result);
    slot.result.reset();
    consumed_ = task + 1;
    lock.unlock();
    changed_.notify_all();
    return result;
  }

  // No task starts after this.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
  }

 private:
  struct Slot {
    std::optional<Result> result;
    std::exception_ptr error;
    bool done = false;
  };

  void Run(int thread, int task) {
    std::optional<Result> result;
    std::exception_ptr error;
    try {
      result.emplace(produce_(thread, task));
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      Slot& slot = slots_[std::size_t(task)];
      slot.result = std::move(result);
      slot.error = error;
      slot.done = true;
      // Tasks before this one were all taken already and finish; none after it starts.
      if (error) stop_ = true;
    }
    changed_.notify_all();
  }

  const int count_;
  const int ahead_;
  const std::function<Result(int, int)>& produce_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int next_ = 0;      // the first task nobody has taken
  int consumed_ = 0;  // tasks before this one are consumed
  bool stop_ = false;
};

}  // namespace parallel_detail

// Runs produce(thread, task) for every task in [0, count) on up to `threads` threads
// (the caller's is thread 0) and hands each result to consume(task, result) on the
// calling thread in increasing task order, while later tasks are being produced. While
// it waits for a result, the calling thread produces tasks nobody has taken yet. At
// most `ahead` tasks past the last consumed one are produced in advance, which bounds
// the results held at once. The first exception of a task or of consume is passed on;
// no task starts after it, and every thread is joined before this returns.
template <typename Result>
void ParallelInOrder(int threads, int count, int ahead,
                     const std::function<Result(int thread, int task)>& produce,
                     const std::function<void(int task, Result& result)>& consume) {
  if (count <= 0) return;
  parallel_detail::OrderedTasks<Result> tasks(count, ahead, produce);
  // Stops the helpers on every way out, before they are joined.
  struct StopOnExit {
    parallel_detail::OrderedTasks<Result>& tasks;
    ~StopOnExit() { tasks.Stop(); }
  };
  std::vector<std::jthread> helpers;
  const StopOnExit stop{tasks};
  const int wanted = std::clamp(threads, 1, count);
  helpers.reserve(std::size_t(wanted - 1));
  try {
    for (int t = 1; t < wanted; ++t) helpers.emplace_back([&tasks, t] { tasks.Work(t); });
  } catch (const std::system_error&) {
    // No more threads to be had: the ones that started and this one do the work.
  }
  for (int task = 0; task < count; ++task) {
    Result result = tasks.Take(task);
    consume(task, result);
  }
}

}  // namespace qel
