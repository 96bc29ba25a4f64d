#pragma once

#include "reader/CBatchQueue.h"

#include <functional>

// Calls handed over from any thread and run, in the order they came, on the thread that made
// the queue; calls still waiting when it is destroyed are dropped. A worker never waits for
// the user-interface thread.
class CCallQueue {
public:
    CCallQueue();

    // Any thread.
    void post(std::function<void()> call);

private:
    void runCalls();

    CBatchQueue<std::function<void()>> m_calls;
};
