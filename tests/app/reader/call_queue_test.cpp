// The call queue: calls from other threads run on the queue's thread in the order each thread
// posted them, and calls still waiting when the queue goes are dropped.
#include "page_test_kit.h"
#include "reader/CCallQueue.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>
#include <vector>

namespace {

using pagetest::waitUntil;

TEST(CallQueueTest, CallsFromOtherThreadsRunHereInTheirOrder) {
    constexpr int callsPerThread = 2000;
    CCallQueue queue;
    std::array<std::vector<int>, 2> seen;
    bool allOnThisThread = true;
    std::vector<std::thread> posters;
    for (std::size_t poster = 0; poster < seen.size(); ++poster) {
        posters.emplace_back([&, poster] {
            for (int index = 0; index < callsPerThread; ++index) {
                queue.post([&, poster, index] {
                    allOnThisThread = allOnThisThread && QThread::currentThread() ==
                                                             QCoreApplication::instance()->thread();
                    seen[poster].push_back(index);
                });
            }
        });
    }
    for (std::thread &poster : posters) poster.join();
    ASSERT_TRUE(waitUntil(
        [&] { return seen[0].size() == callsPerThread && seen[1].size() == callsPerThread; }));
    EXPECT_TRUE(allOnThisThread);
    for (const std::vector<int> &indexes : seen) {
        for (int index = 0; index < callsPerThread; ++index)
            ASSERT_EQ(indexes[std::size_t(index)], index);
    }
}

TEST(CallQueueTest, CallsWaitingWhenTheQueueGoesAreDropped) {
    bool ran = false;
    auto queue = std::make_unique<CCallQueue>();
    std::thread([&] { queue->post([&] { ran = true; }); }).join();
    queue.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
