#include "reader/CReaderWorker.h"

CReaderWorker::CReaderWorker(IReader &reader)
    : m_reader(reader)
    , m_results(std::make_unique<CCallQueue>())
    , m_thread(&CReaderWorker::run, this)
{
}

CReaderWorker::~CReaderWorker()
{
    stop();
}

void CReaderWorker::post(std::function<void(IReader &)> job)
{
    enqueue([this, job = std::move(job)] { job(m_reader); });
}

void CReaderWorker::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
        m_jobs.clear();
    }
    m_jobWaiting.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CReaderWorker::isBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_jobRunning || !m_jobs.empty();
}

bool CReaderWorker::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

void CReaderWorker::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
        m_jobs.push_back(std::move(job));
    }
    m_jobWaiting.notify_one();
}

void CReaderWorker::deliver(std::function<void()> onUserInterface)
{
    // The queue outlives the thread, and calls still waiting in it are dropped with it.
    m_results->post(std::move(onUserInterface));
}

void CReaderWorker::run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_jobWaiting.wait(lock, [this] { return !m_running || !m_jobs.empty(); });
        if (!m_running)
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_jobRunning = true;
        lock.unlock();
        job();
        lock.lock();
        m_jobRunning = false;
    }
}
