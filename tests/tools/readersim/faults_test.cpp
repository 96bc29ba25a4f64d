// Faults as a host sees them on the wire.
#include <gtest/gtest.h>

#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;
using readersim::Faults;
using readersim::VirtualReader;

class FaultsOnTcp : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(client_.connect(reader_.serveTcp())); }

    void inject(const Faults &faults) {
        reader_.setFaults(faults);
        EXPECT_EQ(reader_.faults().dropEveryNth, faults.dropEveryNth);
    }

    VirtualReader reader_;
    FrameClient client_;
};

TEST_F(FaultsOnTcp, DelayHoldsTheAnswerBack) {
    Faults faults;
    faults.answerDelay = std::chrono::milliseconds(150);
    inject(faults);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client_.ask(0x10));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(FaultsOnTcp, EverySecondAnswerGoesMissing) {
    Faults faults;
    faults.dropEveryNth = 2;
    inject(faults);
    ASSERT_TRUE(client_.ask(0x10));
    ASSERT_TRUE(client_.send(requestFrame(0x20)));
    ASSERT_TRUE(client_.send(requestFrame(0x2D)));
    const auto answer = client_.nextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x2D);  // 0x20 was never answered
}

TEST_F(FaultsOnTcp, BadChecksumFailsTheFrameSum) {
    Faults faults;
    faults.badChecksum = true;
    inject(faults);
    ASSERT_TRUE(client_.send(requestFrame(0x2D)));
    const Bytes raw = client_.readRaw(9);
    ASSERT_EQ(raw.size(), 9u);
    EXPECT_EQ(raw[0], 0x4A);
    EXPECT_NE(qn::checksum(raw), 0);
}

TEST_F(FaultsOnTcp, StatusEchoAndAddressFaults) {
    Faults faults;
    faults.failureStatus = true;
    faults.wrongEcho = true;
    faults.wrongAddress = 0x06;
    inject(faults);
    const auto answer = client_.ask(0x10);
    ASSERT_TRUE(answer);
    EXPECT_EQ(statusOf(*answer), 0);
    EXPECT_EQ(commandOf(*answer), 0x11);
    EXPECT_EQ(answer->at(4), 0x06);
}

TEST_F(FaultsOnTcp, SplitAnswerStillArrivesWhole) {
    Faults faults;
    faults.splitChunk = 3;
    inject(faults);
    const auto answer = client_.ask(0x01, {0, 0, 0});
    ASSERT_TRUE(answer);
    EXPECT_EQ(dataOf(*answer).at(1), 5);
    EXPECT_GE(client_.reads(), 1);
}

TEST_F(FaultsOnTcp, MergedAnswerWaitsForTheNextOne) {
    Faults faults;
    faults.mergeFrames = true;
    inject(faults);
    ASSERT_TRUE(client_.send(requestFrame(0x10)));
    ASSERT_TRUE(reader_.waitForRequests(1, kDeadline));
    EXPECT_FALSE(client_.nextFrame(std::chrono::milliseconds(100)));
    ASSERT_TRUE(client_.send(requestFrame(0x20)));
    const auto first = client_.nextFrame();
    const auto second = client_.nextFrame();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(commandOf(*first), 0x10);
    EXPECT_EQ(commandOf(*second), 0x20);
}

TEST_F(FaultsOnTcp, ClearingFaultsRestoresNormalAnswers) {
    Faults faults;
    faults.failureStatus = true;
    inject(faults);
    ASSERT_EQ(statusOf(*client_.ask(0x10)), 0);
    inject({});
    EXPECT_EQ(statusOf(*client_.ask(0x10)), 1);
}

}  // namespace
