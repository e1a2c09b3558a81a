#include "base/interrupt_cleanup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace qel {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// The list. It is never destroyed: an interrupt may still come while the process
// exits, when the destructors of statics have run.
struct Registry {
  // Recursive: a step run without interrupts may settle files of its own.
  std::recursive_mutex mutex;
  std::map<std::uint64_t, std::string> files;
  std::uint64_t next_id = 1;
};

Registry& TheRegistry() {
  alignas(Registry) static unsigned char storage[sizeof(Registry)];
  static Registry* const registry = ::new (storage) Registry();
  return *registry;
}

// What the signal handler may touch: the pipe to the watcher and the process it was
// installed for (a child made by fork has another process id).
std::atomic<int> watcher_pipe{-1};
std::atomic<pid_t> handling_process{0};

extern "C" void OnInterrupt(int signal_number) {
  if (::getpid() != handling_process.load()) {
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
    return;
  }
  const int saved_errno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] const ssize_t written = ::write(watcher_pipe.load(), &byte, 1);
  errno = saved_errno;
}

// Waits for the handler's word, then removes the listed files and ends the process.
// The list stays locked to the end, so that no file is listed or settled meanwhile.
void Watch(int read_end) {
  unsigned char signal_number = 0;
  for (;;) {
    const ssize_t got = ::read(read_end, &signal_number, 1);
    if (got == 1) break;
    if (got < 0 && errno == EINTR) continue;
    return;
  }
  Registry& registry = TheRegistry();
  registry.mutex.lock();
  for (const auto& entry : registry.files) ::unlink(entry.second.c_str());
  ::_exit(128 + signal_number);
}

bool Install() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  try {
    std::thread(Watch, ends[0]).detach();
  } catch (...) {
    ::close(ends[0]);
    ::close(ends[1]);
    return false;
  }
  TheRegistry();
  watcher_pipe = ends[1];
  handling_process = ::getpid();
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kInterrupts) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : kInterrupts) {
    struct sigaction old {};
    // A hangup ignored when the program started (nohup) stays ignored. An interrupt sent
    // to a program that a shell script started in the background (which the shell makes
    // ignore SIGINT) is still asked to stop by whoever sends it.
    if (signal_number == SIGHUP && ::sigaction(signal_number, nullptr, &old) == 0 &&
        old.sa_handler == SIG_IGN)
      continue;
    ::sigaction(signal_number, &action, nullptr);
  }
  return true;
}

}  // namespace

void CleanUpOnInterrupt() {
  static const bool installed = Install();
  (void)installed;
}

RemovedOnInterrupt::RemovedOnInterrupt(const std::function<std::string()>& make) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  std::string path = make();
  if (path.empty()) return;
  try {
    registry.files.emplace(registry.next_id, path);
  } catch (...) {
    ::unlink(path.c_str());
    throw;
  }
  id_ = registry.next_id++;
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
  Unlist();
}

RemovedOnInterrupt::RemovedOnInterrupt(RemovedOnInterrupt&& other) noexcept
    : id_(std::exchange(other.id_, 0)) {}

RemovedOnInterrupt& RemovedOnInterrupt::operator=(RemovedOnInterrupt&& other) noexcept {
  if (this != &other) {
    Unlist();
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void RemovedOnInterrupt::Unlist() {
  if (id_ == 0) return;
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.files.erase(std::exchange(id_, 0));
}

void RemovedOnInterrupt::Settle(const std::function<void()>& step) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  step();
  if (id_ != 0) registry.files.erase(std::exchange(id_, 0));
}

void WithoutInterrupts(const std::function<void()>& step) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  step();
}

}  // namespace qel
