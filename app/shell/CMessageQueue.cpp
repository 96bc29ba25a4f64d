#include "shell/CMessageQueue.h"

CMessageQueue::~CMessageQueue()
{
    stop();
}

void CMessageQueue::start(Sink sink)
{
    std::lock_guard lock(m_mutex);
    if (m_running)
        return;
    m_lines.clear();
    m_sink = std::move(sink);
    m_running = true;
    m_consumer = std::thread(&CMessageQueue::consume, this);
}

void CMessageQueue::post(const QString &line)
{
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    }
    m_lineWaiting.notify_one();
}

void CMessageQueue::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
        m_running = false;
    }
    m_lineWaiting.notify_one();
    if (m_consumer.joinable())
        m_consumer.join();
}

bool CMessageQueue::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

void CMessageQueue::consume()
{
    QStringList lines;
    while (takeLines(lines))
        m_sink(lines);
}

bool CMessageQueue::takeLines(QStringList &lines)
{
    std::unique_lock lock(m_mutex);
    m_lineWaiting.wait(lock, [this] { return !m_running || !m_lines.empty(); });
    if (!m_running)
        return false;
    lines.clear();
    lines.swap(m_lines);
    return true;
}
