#include "reader/CCallQueue.h"

CCallQueue::CCallQueue()
    : m_calls([this] { runCalls(); })
{
}

void CCallQueue::post(std::function<void()> call)
{
    m_calls.push(std::move(call));
}

void CCallQueue::runCalls()
{
    CBatchQueue<std::function<void()>>::Batch batch = m_calls.take();
    for (std::function<void()> &call : batch.items)
        call();
}
