// Results produced on several threads and consumed in order on the calling thread: the
// order, the bound on results made in advance, and errors on either side.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "imaging/parallel_in_order.h"

namespace qel {
namespace {

TEST(ParallelInOrder, EveryResultIsConsumedInOrder) {
  for (const int threads : {1, 2, 3, 8}) {
    for (const int count : {0, 1, 5, 64}) {
      for (const int ahead : {1, 3}) {
        std::atomic<int> produced{0};
        std::atomic<int> most_ahead{0};
        std::atomic<int> consumed{0};
        ParallelInOrder<int>(
            threads, count, ahead,
            [&](int, int task) {
              // A task is taken only while it is at most `ahead` past the consumer (the
              // calling thread takes the one it waits for itself).
              const int lead = task - consumed;
              for (int seen = most_ahead; lead > seen && !most_ahead.compare_exchange_weak(seen, lead);) {
              }
              ++produced;
              return task * task;
            },
            [&](int task, int& result) {
              EXPECT_EQ(task, consumed.load());
              EXPECT_EQ(result, task * task);
              ++consumed;
            });
        EXPECT_EQ(consumed.load(), count);
        EXPECT_EQ(produced, count);
        EXPECT_LE(most_ahead, ahead) << threads << " threads, " << count << " tasks";
      }
    }
  }
}

TEST(ParallelInOrder, TheCallingThreadWorksWhileAHelperIsBusy) {
  // The helper's first task holds on until the calling thread has produced a task of its
  // own: a calling thread that only waited for task 0 would leave the work to one core.
  // The wait is bounded so that a regression fails instead of hanging.
  std::mutex mutex;
  std::condition_variable changed;
  bool caller_produced = false;
  bool helper_waited = false;
  bool helper_saw_it = false;
  ParallelInOrder<int>(
      2, 4, 4,
      [&](int thread, int task) {
        std::unique_lock lock(mutex);
        if (thread == 0) {
          caller_produced = true;
          changed.notify_all();
        } else if (!helper_waited) {
          helper_waited = true;
          helper_saw_it = changed.wait_for(lock, std::chrono::seconds(20), [&] { return caller_produced; });
        }
        return task;
      },
      [](int, int&) {});
  EXPECT_TRUE(!helper_waited || helper_saw_it);  // (the caller may have done all four first)
}

TEST(ParallelInOrder, ATaskErrorComesAfterTheResultsBeforeIt) {
  for (const int threads : {1, 4}) {
    int consumed = 0;
    EXPECT_THROW(ParallelInOrder<int>(
                     threads, 40, 4,
                     [](int, int task) {
                       if (task == 17) throw std::runtime_error("task 17");
                       return task;
                     },
                     [&](int task, int&) { consumed = task + 1; }),
                 std::runtime_error);
    EXPECT_EQ(consumed, 17) << threads;
  }
}

TEST(ParallelInOrder, AConsumerErrorStopsTheTasks) {
  std::atomic<int> produced{0};
  EXPECT_THROW(ParallelInOrder<int>(
                   4, 1000, 2,
                   [&](int, int task) {
                     ++produced;
                     return task;
                   },
                   [](int task, int&) {
                     if (task == 10) throw std::runtime_error("full disk");
                   }),
               std::runtime_error);
  EXPECT_LT(produced, 20);
}

}  // namespace
}  // namespace qel
