#include "kit/CCallQueue.h"

CCallQueue::CCallQueue(QObject *parent)
    : QObject(parent)
{
    // Made here, on the receiving thread: a wake-up allocates nothing of ours on the poster's.
    connect(this, &CCallQueue::callsWaiting, this, &CCallQueue::runCalls, Qt::QueuedConnection);
}

void CCallQueue::post(std::function<void()> call)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        wake = !m_wakeQueued;
        m_wakeQueued = true;
    }
    if (wake)
        emit callsWaiting();
}

void CCallQueue::runCalls()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        calls.swap(m_calls);
        m_wakeQueued = false;
    }
    for (std::function<void()> &call : calls)
        call();
}
