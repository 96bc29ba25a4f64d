#include "tags/CInventoryLoop.h"

#include "reader/IReader.h"

#include <condition_variable>
#include <mutex>

// One run from a start to its stop: what the page and its worker share.
struct CInventoryLoop::Run {
    std::uint64_t generation = 0;
    std::chrono::milliseconds interval { 0 };
    std::atomic<bool> clearRequest { false };
    std::mutex mutex;
    std::condition_variable stopped;
    bool running = true;

    // The pause before a call; false once the run is stopped.
    bool pause()
    {
        std::unique_lock lock(mutex);
        return !stopped.wait_for(lock, interval, [this] { return !running; });
    }

    void stop()
    {
        {
            std::lock_guard lock(mutex);
            running = false;
        }
        stopped.notify_all();
    }
};

CInventoryLoop::CInventoryLoop(Deliver deliver)
    : m_deliver(std::move(deliver))
{
}

CInventoryLoop::~CInventoryLoop()
{
    stop();
    if (m_thread.joinable())
        m_thread.join();
}

void CInventoryLoop::start(IReader &reader, std::chrono::milliseconds interval)
{
    if (m_running)
        return;
    m_run = std::make_shared<Run>();
    m_run->generation = ++m_generation;
    m_run->interval = interval;
    m_running = true;
    std::thread previous = std::move(m_thread);
    m_thread
        = std::thread(&CInventoryLoop::work, this, std::ref(reader), m_run, std::move(previous));
}

bool CInventoryLoop::stop()
{
    if (!m_running)
        return false;
    m_running = false;
    m_run->stop();
    return m_run->clearRequest.exchange(false);
}

void CInventoryLoop::requestClear()
{
    if (m_running)
        m_run->clearRequest = true;
}

void CInventoryLoop::work(IReader &reader, std::shared_ptr<Run> run, std::thread previous)
{
    // Only one of the page's workers talks to the reader at a time.
    if (previous.joinable())
        previous.join();
    while (run->pause()) {
        const std::optional<InventoryResult> result = reader.inventory();
        Batch batch;
        batch.clearFirst = run->clearRequest.exchange(false);
        if (result)
            batch.records = tagrecord::walk(result->records, result->byteLength);
        if (batch.clearFirst || !batch.records.empty())
            hand(run->generation, std::move(batch));
    }
}

void CInventoryLoop::hand(std::uint64_t generation, Batch batch)
{
    // The queue is the loop's, so the loop exists whenever the call runs.
    m_batches.post([this, generation, batch = std::move(batch)]() mutable {
        if (generation != m_generation)
            return;
        if (!m_running)
            batch.records.clear();
        if (batch.clearFirst || !batch.records.empty())
            m_deliver(std::move(batch));
    });
}
