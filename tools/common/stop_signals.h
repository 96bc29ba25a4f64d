// SIGINT and SIGTERM as a request to stop rather than a death. A tool blocks both first thing
// in main, before any thread starts, so every thread inherits the block and no thread of a
// library or of the tool itself dies of them; then it waits for them where it wants to stop.
#pragma once

#include <chrono>

namespace tools {

// Blocks SIGINT and SIGTERM in the calling thread (and the threads it starts from now on).
void blockStopSignals();

// Lets SIGINT and SIGTERM kill the process again, as they would have without the block:
// for jobs that have nothing to complete when stopped. Threads already started keep the block,
// so the signal reaches the calling thread.
void unblockStopSignals();

// Waits up to `timeout` (zero: only looks) for SIGINT or SIGTERM; returns the signal number,
// or 0 when none came.
int waitForStopSignal(std::chrono::milliseconds timeout);

}  // namespace tools
