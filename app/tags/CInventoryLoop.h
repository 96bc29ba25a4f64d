#pragma once

#include "reader/CCallQueue.h"
#include "tag_record.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class IReader;

// The answer-mode inventory worker of a page: on its own thread it pauses for the interval,
// asks the reader for one inventory and hands that call's records to the user-interface
// thread as one batch. Stop returns at once and never waits for the reader: a call in
// progress completes on the worker, which then ends by itself, and nothing of it is added
// after the stop (only a clear it had taken up is still carried out). The next start lets
// the old worker finish before the new one calls the reader.
class CInventoryLoop {
public:
    struct Batch {
        // A clear request was taken up after this call: delete all rows first.
        bool clearFirst = false;
        std::vector<tagrecord::Bytes> records;
    };
    // Runs on the user-interface thread.
    using Deliver = std::function<void(Batch batch)>;

    // Made on the user-interface thread; batches are delivered there while the loop exists.
    explicit CInventoryLoop(Deliver deliver);
    // Waits for the worker (at most the call in progress).
    ~CInventoryLoop();
    CInventoryLoop(const CInventoryLoop &) = delete;
    CInventoryLoop &operator=(const CInventoryLoop &) = delete;

    void start(IReader &reader, std::chrono::milliseconds interval);
    // Returns whether a clear request was still waiting (the caller clears at once).
    bool stop();
    bool isRunning() const { return m_running; }
    // While running: the worker clears the list after its current call.
    void requestClear();

private:
    struct Run;
    void work(IReader &reader, std::shared_ptr<Run> run, std::thread previous);
    void hand(std::uint64_t generation, Batch batch);

    Deliver m_deliver;
    bool m_running = false;
    // Bumped by every start; batches of older runs are dropped.
    std::uint64_t m_generation = 0;
    std::shared_ptr<Run> m_run;
    std::thread m_thread;
    CCallQueue m_batches;
};
