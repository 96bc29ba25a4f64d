#include <gtest/gtest.h>

#include "reader_model.h"
#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;
using readersim::VirtualReader;

class ActiveMode : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(client_.connect(reader_.serveTcp())); }

    // Next frame that is not a report of the given kind.
    std::optional<Bytes> nextAnswer() {
        for (;;) {
            auto frame = client_.nextFrame();
            if (!frame || commandOf(*frame) != 0x45) return frame;
        }
    }

    VirtualReader reader_;
    FrameClient client_;
};

TEST_F(ActiveMode, ReportsCarrySerialCountAndBatchedRecords) {
    ASSERT_TRUE(client_.ask(0x10));  // connection accepted before reports start
    reader_.startActive(std::chrono::milliseconds(5), 2);
    const auto report = client_.nextFrame();
    ASSERT_TRUE(report);
    ASSERT_EQ(commandOf(*report), 0x45);
    const Bytes data = dataOf(*report);
    EXPECT_EQ(data.at(0), 0x50);  // serial number begins with the type byte
    EXPECT_EQ(data.at(7), 2);
    EXPECT_EQ(qn::lengthField(report->data()) - 12u, 2u * 16u);
    reader_.stopActive();
}

TEST_F(ActiveMode, PeriodLimitsTheRate) {
    ASSERT_TRUE(client_.ask(0x10));
    const auto start = std::chrono::steady_clock::now();
    reader_.startActive(std::chrono::milliseconds(50), 1);
    ASSERT_TRUE(eventually([&] { return reader_.reportsSent() >= 4; }));
    reader_.stopActive();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto periods = elapsed / std::chrono::milliseconds(50);
    EXPECT_LE(reader_.reportsSent(), static_cast<uint64_t>(periods) + 2);
}

TEST_F(ActiveMode, StartReadAndStopReadCommands) {
    reader_.withModel(
        [](readersim::ReaderModel &model) { model.active.period = std::chrono::milliseconds(2); });
    const auto started = client_.ask(0x41);
    ASSERT_TRUE(started);
    EXPECT_EQ(statusOf(*started), 1);
    ASSERT_TRUE(eventually([&] { return reader_.reportsSent() >= 3; }));
    ASSERT_TRUE(client_.send(requestFrame(0x40)));
    const auto stopped = nextAnswer();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(commandOf(*stopped), 0x40);
    const uint64_t sent = reader_.reportsSent();
    EXPECT_FALSE(eventually([&] { return reader_.reportsSent() > sent + 1; },
                            std::chrono::milliseconds(200)));
}

TEST_F(ActiveMode, WorkModeByteStartsReports) {
    reader_.withModel(
        [](readersim::ReaderModel &model) { model.active.period = std::chrono::milliseconds(2); });
    const auto set = client_.ask(0x24, {1, 1});
    ASSERT_TRUE(set);
    ASSERT_EQ(statusOf(*set), 1);
    EXPECT_TRUE(eventually([&] { return reader_.reportsSent() >= 3; }));
}

TEST_F(ActiveMode, PeriodZeroPushesAsFastAsTheLinkTakes) {
    ASSERT_TRUE(client_.ask(0x10));
    reader_.startActive(std::chrono::microseconds(0), 1);
    size_t received = 0;
    while (received < 2000) {
        const auto frame = client_.nextFrame();
        ASSERT_TRUE(frame);
        ASSERT_EQ(commandOf(*frame), 0x45);
        ++received;
    }
    reader_.stopActive();
    EXPECT_TRUE(eventually([&] { return reader_.reportsSent() >= 2000u; }));
}

TEST_F(ActiveMode, NoVisibleTagNoReport) {
    ASSERT_TRUE(client_.ask(0x10));
    reader_.withModel([](readersim::ReaderModel &model) { model.tags.clear(); });
    reader_.startActive(std::chrono::milliseconds(1), 1);
    EXPECT_FALSE(
        eventually([&] { return reader_.reportsSent() > 0; }, std::chrono::milliseconds(100)));
    reader_.withModel([](readersim::ReaderModel &model) { model.addGeneratedTag(); });
    EXPECT_TRUE(eventually([&] { return reader_.reportsSent() > 0; }));
}

}  // namespace

namespace {

TEST(ActiveModeCache, ReportsWithoutAHostAreCachedAndReadLater) {
    VirtualReader reader;
    const uint16_t port = reader.serveTcp();
    reader.withModel([](readersim::ReaderModel &model) { model.specialRecord.body[22] = 1; });
    reader.startActive(std::chrono::milliseconds(1), 1);
    size_t cached = 0;
    ASSERT_TRUE(eventually([&] {
        reader.withModel(
            [&](readersim::ReaderModel &model) { cached = model.cacheRecords.size(); });
        return cached >= 3;
    }));
    reader.stopActive();
    FrameClient client;
    ASSERT_TRUE(client.connect(port));
    const auto answer = client.ask(0x43);
    ASSERT_TRUE(answer);
    const Bytes data = dataOf(*answer);
    EXPECT_GE((data.at(0) << 8 | data.at(1)), 3);
    EXPECT_EQ(data.at(2), 15);  // first record's length byte
}

TEST(DelayedAnswer, UnplugVoidsItWithoutWaitingForTheDelay) {
    VirtualReader reader;
    const uint16_t port = reader.serveTcp();
    readersim::Faults slow;
    slow.answerDelay = std::chrono::milliseconds(60000);
    reader.setFaults(slow);
    FrameClient client;
    ASSERT_TRUE(client.connect(port));
    ASSERT_TRUE(client.send(requestFrame(0x10)));
    ASSERT_TRUE(reader.waitForRequests(1, kDeadline));
    const auto start = std::chrono::steady_clock::now();
    reader.unplug();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(client.waitForClose());
}

}  // namespace
