#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qel {

int ThreadCount(int wanted) {
  if (wanted > 0) return wanted;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void ParallelFor(int threads, int count, const std::function<void(int thread, int task)>& body) {
  if (count <= 0) return;
  threads = std::clamp(threads, 1, count);
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  std::mutex error_mutex;

  auto work = [&](int thread) {
    try {
      for (int task; !failed.load(std::memory_order_relaxed) && (task = next.fetch_add(1)) < count;) {
        body(thread, task);
      }
    } catch (...) {
      const std::lock_guard lock(error_mutex);
      if (!error) error = std::current_exception();
      failed = true;
    }
  };

  {
    std::vector<std::jthread> helpers;
    helpers.reserve(std::size_t(threads - 1));
    try {
      for (int t = 1; t < threads; ++t) helpers.emplace_back(work, t);
    } catch (...) {
      // No thread to be had: the ones that started and this one do the work.
    }
    work(0);
  }  // the helpers join here
  if (error) std::rethrow_exception(error);
}

}  // namespace qel
