#pragma once

#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The program's log queue: any thread posts a line, one consumer thread moves out every line
// waiting at each pass, in the order they were posted, so a burst of lines never builds up a
// backlog. Posting never waits for the consumer or the
// user-interface thread, so library threads can post from inside their callbacks.
class CMessageQueue {
public:
    // Runs on the consumer thread with the lines taken in one pass (never empty).
    using Sink = std::function<void(const QStringList &lines)>;

    CMessageQueue() = default;
    ~CMessageQueue();
    CMessageQueue(const CMessageQueue &) = delete;
    CMessageQueue &operator=(const CMessageQueue &) = delete;

    // Empties the queue and starts the consumer. Does nothing while it runs.
    void start(Sink sink);
    // Appends a line. Lines posted while the consumer is not running are never delivered:
    // start() and stop() both empty the queue.
    void post(const QString &line);
    // Drops the lines still waiting, ends the consumer and waits for it. The batch being
    // delivered, if any, is finished first.
    void stop();

    bool isRunning() const;

private:
    void consume();
    // Blocks until a line is waiting or stop() was called; false on stop.
    bool takeLines(QStringList &lines);

    mutable std::mutex m_mutex;
    std::condition_variable m_lineWaiting;
    QStringList m_lines;
    bool m_running = false;
    Sink m_sink;
    std::thread m_consumer;
};
