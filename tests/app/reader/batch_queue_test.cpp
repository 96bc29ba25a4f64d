// The batch queue: items from a foreign thread reach this thread in order, one drain per batch,
// within the bound, and what did not fit is counted.
#include "page_test_kit.h"
#include "reader/CBatchQueue.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace {

using pagetest::waitUntil;
using Queue = CBatchQueue<int>;

// What the receiving thread saw: every batch as it came.
struct Drains {
    std::vector<Queue::Batch> batches;
    bool allOnThisThread = true;

    std::uint64_t itemCount() const {
        std::uint64_t count = 0;
        for (const Queue::Batch &batch : batches) count += std::uint64_t(batch.items.size());
        return count;
    }

    std::uint64_t leftOut() const {
        std::uint64_t count = 0;
        for (const Queue::Batch &batch : batches) count += batch.leftOut;
        return count;
    }
};

// Drains on this thread what `queue` hands over; the queue is made after `drains`.
std::function<void()> recordInto(Drains &drains, Queue *&queue) {
    return [&drains, &queue] {
        drains.allOnThisThread = drains.allOnThisThread &&
                                 QThread::currentThread() == QCoreApplication::instance()->thread();
        drains.batches.push_back(queue->take());
    };
}

TEST(BatchQueueTest, AFullQueueCountsWhatDoesNotFitAndKeepsWhatMustBeKept) {
    constexpr int bound = 100;
    constexpr int pushed = 1000;
    Drains drains;
    Queue *queue = nullptr;
    Queue made(recordInto(drains, queue), bound);
    queue = &made;
    // The receiving thread is held up until the foreign thread is done: one batch takes all.
    std::thread([&] {
        for (int item = 0; item < pushed; ++item) made.push(item, 1);
        made.push(-1, 1, Queue::Keep::Always);
        made.push(-2, 1, Queue::Keep::Always);
    }).join();
    ASSERT_TRUE(waitUntil([&] { return !drains.batches.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(drains.batches.size(), 1u);
    const Queue::Batch &batch = drains.batches.front();
    ASSERT_EQ(batch.items.size(), bound + 2);
    for (int item = 0; item < bound; ++item) EXPECT_EQ(batch.items[item], item);
    EXPECT_EQ(batch.items[bound], -1);
    EXPECT_EQ(batch.items[bound + 1], -2);
    EXPECT_EQ(batch.leftOut, std::uint64_t(pushed - bound));
    EXPECT_TRUE(drains.allOnThisThread);

    // Taking empties the queue and its cost: the next item fits again.
    made.push(pushed, 1);
    ASSERT_TRUE(waitUntil([&] { return drains.batches.size() == 2; }));
    EXPECT_EQ(drains.batches.back().items, QList<int>{pushed});
    EXPECT_EQ(drains.batches.back().leftOut, 0u);
}

// Items made on demand: those left out are counted and never made.
TEST(BatchQueueTest, AnItemLeftOutIsNeverMade) {
    constexpr int bound = 100;
    constexpr int pushed = 1000;
    Drains drains;
    Queue *queue = nullptr;
    Queue made(recordInto(drains, queue), bound);
    queue = &made;
    int makes = 0;
    std::thread([&] {
        for (int item = 0; item < pushed; ++item)
            made.pushIfRoom(1, [&makes, item] {
                ++makes;
                return item;
            });
    }).join();
    ASSERT_TRUE(waitUntil([&] { return !drains.batches.empty(); }));
    ASSERT_EQ(drains.batches.size(), 1u);
    EXPECT_EQ(drains.batches.front().items.size(), bound);
    EXPECT_EQ(drains.batches.front().items.back(), bound - 1);
    EXPECT_EQ(drains.batches.front().leftOut, std::uint64_t(pushed - bound));
    EXPECT_EQ(makes, bound);
}

TEST(BatchQueueTest, AFloodArrivesInOrderWithinTheBoundAndEveryItemIsAccountedFor) {
    constexpr std::int64_t boundBytes = 4096;
    constexpr int pushed = 200000;
    const auto costOf = [](int item) { return std::int64_t(item % 61 + 1); };
    Drains drains;
    Queue *queue = nullptr;
    Queue made(recordInto(drains, queue), boundBytes);
    queue = &made;
    std::thread flood([&] {
        for (int item = 0; item < pushed; ++item) made.push(item, costOf(item));
    });
    const bool accounted =
        waitUntil([&] { return drains.itemCount() + drains.leftOut() == std::uint64_t(pushed); });
    flood.join();
    ASSERT_TRUE(accounted);
    EXPECT_TRUE(drains.allOnThisThread);

    int previous = -1;
    for (const Queue::Batch &batch : drains.batches) {
        // One drain per batch: no drain finds nothing to do.
        EXPECT_TRUE(!batch.items.isEmpty() || batch.leftOut > 0);
        std::int64_t cost = 0;
        for (const int item : batch.items) {
            ASSERT_GT(item, previous) << "order kept";
            previous = item;
            cost += costOf(item);
        }
        EXPECT_LE(cost, boundBytes);
    }
}

}  // namespace
