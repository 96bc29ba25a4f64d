#pragma once

#include "reader/CQueuedWake.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>

// Items handed over from foreign threads and taken, in the order they came, in batches on the
// thread that made the queue: the first item of a batch queues one drain, which takes every
// item waiting by then. The foreign threads never wait for the receiving thread, and the
// hand-over is a synchronisation ThreadSanitizer can see (Qt's own queue synchronises inside
// the uninstrumented Qt library, so data carried by a queued call looked unsynchronised to
// it). Items still waiting when the queue is destroyed are dropped.
//
// The queue may be bounded: each item costs what its pusher says (its bytes, or 1 to bound
// the count), and an item that would take the waiting cost past the bound is left out and
// counted, unless the pusher says it must be kept.
template <typename T> class CBatchQueue {
public:
    enum class Keep { IfRoom, Always };

    struct Batch {
        QList<T> items;
        // Items left out since the previous take.
        std::uint64_t leftOut = 0;
    };

    static constexpr std::int64_t unbounded = std::numeric_limits<std::int64_t>::max();

    // Made on the receiving thread; `drain` runs there once per batch and should take() it.
    explicit CBatchQueue(std::function<void()> drain, std::int64_t bound = unbounded)
        : m_bound(bound)
        , m_wake(std::move(drain))
    {
    }

    // Any thread. A left-out item still queues a drain, so its count is seen.
    void push(T item, std::int64_t cost = 0, Keep keep = Keep::IfRoom)
    {
        add(cost, keep, [&item] { return std::move(item); });
    }
    // Any thread. As push(item, cost), but the item is made (make() runs under the queue's
    // lock) only when it fits: under a flood the items left out cost nothing to make.
    template <typename Make> void pushIfRoom(std::int64_t cost, Make make)
    {
        add(cost, Keep::IfRoom, std::move(make));
    }

    // Receiving thread: everything waiting; the next push queues the next drain.
    Batch take()
    {
        Batch batch;
        std::lock_guard lock(m_mutex);
        batch.items.swap(m_items);
        std::swap(batch.leftOut, m_leftOut);
        m_cost = 0;
        m_drainQueued = false;
        return batch;
    }

private:
    template <typename Make> void add(std::int64_t cost, Keep keep, Make make)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            if (keep == Keep::IfRoom && cost > m_bound - m_cost) {
                ++m_leftOut;
            } else {
                m_items.append(make());
                m_cost += cost;
            }
            wake = !m_drainQueued;
            m_drainQueued = true;
        }
        if (wake)
            m_wake.wake();
    }

    const std::int64_t m_bound;
    std::mutex m_mutex;
    QList<T> m_items;
    std::int64_t m_cost = 0;
    std::uint64_t m_leftOut = 0;
    bool m_drainQueued = false;
    CQueuedWake m_wake;
};
