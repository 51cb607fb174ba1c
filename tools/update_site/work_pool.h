#pragma once
#include <cstddef>
#include <functional>

// All the processor's cores (at least one).
unsigned DefaultJobs();

// Runs task(0) to task(count - 1) on up to `threads` threads, in index order of taking. The first
// task that raises stops the others from taking more; it is raised again once all have stopped.
void RunParallel(size_t count, unsigned threads, const std::function<void(size_t index)>& task);
