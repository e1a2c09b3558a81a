// The one worker pool of the program: spreading tasks (the rows, bands or strips of a
// picture operation, the files of a batch) over the processor's cores. Threads are made
// for one call and joined before it returns; nothing outlives it.
#pragma once

#include <functional>

namespace qel {

// The threads a job may use: wanted when it is positive, otherwise one a
// hardware thread (at least 1).
int ThreadCount(int wanted);

// Runs body(thread, task) for every task in [0, count), on up to `threads` threads
// (the caller's is thread 0; the others are numbered 1, 2, ...). Tasks are handed out
// in increasing order to whichever thread is free, so a slow core does not hold up the
// rest. Returns when every thread is done; the first exception any task threw is passed
// on, and no new task starts after it.
void ParallelFor(int threads, int count, const std::function<void(int thread, int task)>& body);

}  // namespace qel
