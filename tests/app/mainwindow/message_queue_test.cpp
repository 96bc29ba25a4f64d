#include "shell/CMessageQueue.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Collects what the consumer delivers and lets the test wait for a count.
class Collector {
  public:
    CMessageQueue::Sink sink() {
        return [this](const QStringList &lines) {
            std::lock_guard lock(m_mutex);
            m_lines.append(lines);
            m_changed.notify_all();
        };
    }

    bool waitFor(qsizetype count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30),
                                  [&] { return m_lines.size() >= count; });
    }

    QStringList lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QStringList m_lines;
};

}  // namespace

TEST(MessageQueueTest, DeliversLinesInPostingOrder) {
    Collector collector;
    CMessageQueue queue;
    queue.start(collector.sink());
    for (int index = 0; index < 100; ++index) queue.post(QString::number(index));
    ASSERT_TRUE(collector.waitFor(100));
    const QStringList lines = collector.lines();
    for (int index = 0; index < 100; ++index) EXPECT_EQ(lines[index], QString::number(index));
}

TEST(MessageQueueTest, KeepsEachThreadsOrderWhenManyThreadsPost) {
    Collector collector;
    CMessageQueue queue;
    queue.start(collector.sink());
    constexpr int threads = 4;
    constexpr int perThread = 250;
    std::vector<std::thread> posters;
    for (int thread = 0; thread < threads; ++thread)
        posters.emplace_back([&queue, thread] {
            for (int index = 0; index < perThread; ++index)
                queue.post(QStringLiteral("%1:%2").arg(thread).arg(index));
        });
    for (std::thread &poster : posters) poster.join();
    ASSERT_TRUE(collector.waitFor(threads * perThread));
    std::vector<int> next(threads, 0);
    for (const QString &line : collector.lines()) {
        const QStringList parts = line.split(u':');
        const int thread = parts[0].toInt();
        EXPECT_EQ(parts[1].toInt(), next[static_cast<std::size_t>(thread)]++);
    }
}

TEST(MessageQueueTest, StartEmptiesTheQueue) {
    Collector collector;
    CMessageQueue queue;
    queue.post(QStringLiteral("early"));
    queue.start(collector.sink());
    queue.post(QStringLiteral("late"));
    ASSERT_TRUE(collector.waitFor(1));
    EXPECT_EQ(collector.lines().front(), QStringLiteral("late"));
}

TEST(MessageQueueTest, StopDropsWaitingLinesAndEndsTheConsumer) {
    std::mutex gate;
    std::unique_lock held(gate);
    QStringList delivered;
    CMessageQueue queue;
    // The sink blocks on the first batch until the gate opens; what was posted meanwhile
    // stays queued and is dropped.
    queue.start([&](const QStringList &lines) {
        std::lock_guard wait(gate);
        delivered.append(lines.join(u','));
    });
    queue.post(QStringLiteral("first"));
    queue.post(QStringLiteral("second"));
    queue.post(QStringLiteral("third"));
    std::thread stopper([&] { queue.stop(); });
    while (queue.isRunning()) std::this_thread::yield();
    held.unlock();
    stopper.join();
    EXPECT_LE(delivered.size(), 1);
    EXPECT_FALSE(queue.isRunning());
}

TEST(MessageQueueTest, StopWithoutStartAndTwiceIsHarmless) {
    CMessageQueue queue;
    queue.stop();
    queue.start([](const QStringList &) {});
    queue.stop();
    queue.stop();
    EXPECT_FALSE(queue.isRunning());
}
