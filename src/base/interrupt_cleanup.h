// Files that must not outlive an interrupted run: staging files under a name of their
// own, and names taken for content that was not written yet. The programs call
// CleanUpOnInterrupt() at start; from then on SIGINT, SIGTERM and SIGHUP remove every
// file on the list and end the process with the status 128 + the signal's number (130,
// 143, 129). Files are put on the list, given their final place and taken off it again
// in steps that an interrupt never falls into.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qel {

// Installs the handlers (once; later calls do nothing). A hangup that was ignored when
// the program started (nohup) stays ignored. A child process made by fork without exec
// keeps the usual meaning of the three signals.
void CleanUpOnInterrupt();

// A file on the list while this lives.
class RemovedOnInterrupt {
 public:
  RemovedOnInterrupt() = default;
  // Runs make, which makes a file and returns its path ("" when it made none), and puts
  // the path on the list: an interrupt comes before make or after the path is listed.
  // Whatever make throws passes on, and nothing is listed.
  explicit RemovedOnInterrupt(const std::function<std::string()>& make);
  ~RemovedOnInterrupt();
  RemovedOnInterrupt(RemovedOnInterrupt&& other) noexcept;
  // Takes other's file over; this one's file is taken off the list (not removed).
  RemovedOnInterrupt& operator=(RemovedOnInterrupt&& other) noexcept;
  RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
  RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

  bool Listed() const { return id_ != 0; }
  // Takes the file off the list (it is not removed).
  void Unlist();
  // Runs step (the rename that gives the file its final name, or the removal of the
  // file) and takes the file off the list, with no interrupt in between. Whatever step
  // throws passes on, and the file stays listed.
  void Settle(const std::function<void()>& step);

 private:
  std::uint64_t id_ = 0;
};

// Runs step with interrupts held back: one that comes meanwhile takes effect when step
// is done. For work that must not stop halfway, such as writing over a file in place.
void WithoutInterrupts(const std::function<void()>& step);

}  // namespace qel
