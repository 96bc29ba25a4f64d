// Batches leave when full or when their oldest message has waited the linger, whatever came
// before; undelivered batches go back in front; per-reader batches never mix readers.
#include "batcher.h"

#include <gtest/gtest.h>

namespace {

using gateway::Batcher;
using gateway::Clock;
using gateway::StoredMessage;
using namespace std::chrono_literals;

StoredMessage message(std::uint64_t id, const std::string &reader, Clock::time_point received) {
    return {id, reader, "{\"n\":" + std::to_string(id) + "}", received};
}

std::vector<std::uint64_t> idsOf(const std::vector<StoredMessage> &batch) {
    std::vector<std::uint64_t> ids;
    for (const StoredMessage &m : batch) ids.push_back(m.id);
    return ids;
}

TEST(BatcherTest, BatchesLeaveWhenFullOrLingeredOrFlushing) {
    const auto t0 = Batcher::Steady::now();
    const auto wall = Clock::now();
    const struct {
        const char *what;
        std::size_t most;
        bool perReader;
        std::vector<std::pair<std::uint64_t, std::string>> messages;
        std::chrono::milliseconds receivedAgo;  // before `wall`
        std::chrono::milliseconds at;           // after t0
        bool flushing;
        std::vector<std::uint64_t> batch;
    } cases[] = {
        {"not full, not lingered", 100, false, {{1, "A"}, {2, "B"}}, 0ms, 999ms, false, {}},
        {"lingered", 100, false, {{1, "A"}, {2, "B"}}, 0ms, 1000ms, false, {1, 2}},
        {"full", 2, false, {{1, "A"}, {2, "B"}, {3, "A"}}, 0ms, 0ms, false, {1, 2}},
        {"flushing", 100, false, {{1, "A"}}, 0ms, 0ms, true, {1}},
        {"replayed: received long ago", 100, false, {{1, "A"}}, 5000ms, 0ms, false, {1}},
        {"received 600 ms ago waits the rest", 100, false, {{1, "A"}}, 600ms, 399ms, false, {}},
        {"one reader per batch", 2, true, {{1, "A"}, {2, "B"}, {3, "A"}}, 0ms, 0ms, false, {1, 3}},
        {"per reader: lingered, oldest first",
         100,
         true,
         {{1, "B"}, {2, "A"}, {3, "B"}},
         0ms,
         1000ms,
         false,
         {1, 3}},
        {"per reader: none full", 2, true, {{1, "A"}, {2, "B"}}, 0ms, 10ms, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Batcher batcher(c.most, 1000ms, c.perReader);
        for (const auto &[id, reader] : c.messages) {
            batcher.add(message(id, reader, wall - c.receivedAgo), t0, wall);
        }
        EXPECT_EQ(idsOf(batcher.take(t0 + c.at, c.flushing)), c.batch);
        EXPECT_EQ(batcher.size(), c.messages.size() - c.batch.size());
    }
}

TEST(BatcherTest, NextDueIsTheOldestLingerAndALoneMessageAfterABurstIsNotHeld) {
    const auto t0 = Batcher::Steady::now();
    const auto wall = Clock::now();
    Batcher batcher(3, 1000ms, false);
    EXPECT_EQ(batcher.nextDue(), Batcher::Steady::time_point::max());
    for (std::uint64_t id = 1; id <= 3; ++id) batcher.add(message(id, "A", wall), t0, wall);
    EXPECT_EQ(batcher.nextDue(), Batcher::Steady::time_point::min());  // full: at once
    EXPECT_EQ(idsOf(batcher.take(t0, false)), (std::vector<std::uint64_t>{1, 2, 3}));
    batcher.add(message(4, "A", wall + 5s), t0 + 5s, wall + 5s);
    EXPECT_EQ(batcher.nextDue(), t0 + 6s);
    EXPECT_EQ(idsOf(batcher.take(t0 + 6s, false)), (std::vector<std::uint64_t>{4}));
}

TEST(BatcherTest, BatchesPutBackNewestFirstComeOutInTheirOrder) {
    const auto t0 = Batcher::Steady::now();
    const auto wall = Clock::now();
    Batcher batcher(2, 0ms, true);
    for (std::uint64_t id = 1; id <= 5; ++id) batcher.add(message(id, "A", wall), t0, wall);
    auto first = batcher.take(t0, false);
    auto second = batcher.take(t0, false);
    batcher.putBack(std::move(second));
    batcher.putBack(std::move(first));
    std::vector<std::uint64_t> order;
    for (auto batch = batcher.take(t0, false); !batch.empty(); batch = batcher.take(t0, false)) {
        for (const auto id : idsOf(batch)) order.push_back(id);
    }
    EXPECT_EQ(order, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(batcher.size(), 0u);
}

}  // namespace
