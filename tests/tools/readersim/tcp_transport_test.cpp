#include <gtest/gtest.h>

#include "reader_model.h"
#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;
using readersim::VirtualReader;

class TcpTransport : public ::testing::Test {
  protected:
    void SetUp() override { port_ = reader_.serveTcp(); }

    VirtualReader reader_;
    uint16_t port_ = 0;
};

TEST_F(TcpTransport, AnswersSystemInfoAndLogsTheRequest) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    const auto answer = client.ask(0x10);
    ASSERT_TRUE(answer);
    EXPECT_EQ(statusOf(*answer), 1);
    EXPECT_EQ(dataOf(*answer).at(2), 0x50);
    ASSERT_TRUE(reader_.waitForRequests(1, kDeadline));
    EXPECT_EQ(reader_.requests().at(0), requestFrame(0x10));
    reader_.clearRequests();
    EXPECT_TRUE(reader_.requests().empty());
}

TEST_F(TcpTransport, RequestSplitAcrossWritesIsAnsweredOnce) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    const Bytes frame = requestFrame(0x01, {0, 0, 0});
    ASSERT_TRUE(client.sendWire(Bytes(frame.begin(), frame.begin() + 3)));
    ASSERT_TRUE(client.sendWire(Bytes(frame.begin() + 3, frame.end())));
    const auto answer = client.nextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x01);
    EXPECT_EQ(dataOf(*answer).at(1), 5);  // the default five tags
}

TEST_F(TcpTransport, GarbageIsSkippedUntilTheNextFrame) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    Bytes noise(3000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 37 + 0x5A);
    ASSERT_TRUE(client.sendWire(noise));
    const auto answer = client.ask(0x2D);
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x2D);
}

TEST_F(TcpTransport, NewClientReplacesTheOldOne) {
    FrameClient first, second;
    ASSERT_TRUE(first.connect(port_));
    ASSERT_TRUE(first.ask(0x10));
    ASSERT_TRUE(second.connect(port_));
    EXPECT_TRUE(first.waitForClose());
    EXPECT_TRUE(second.ask(0x10));
}

TEST_F(TcpTransport, ClientVanishingMidFrameLeavesTheReaderServing) {
    {
        FrameClient quitter;
        ASSERT_TRUE(quitter.connect(port_));
        const Bytes frame = requestFrame(0x20);
        ASSERT_TRUE(quitter.sendWire(Bytes(frame.begin(), frame.begin() + 4)));
    }
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    const auto answer = client.ask(0x20);
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x20);
}

TEST_F(TcpTransport, UnplugRefusesConnectionsUntilReplug) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    reader_.unplug();
    EXPECT_TRUE(client.waitForClose());
    EXPECT_FALSE(client.connect(port_));
    reader_.replug();
    ASSERT_TRUE(client.connect(port_));
    EXPECT_TRUE(client.ask(0x10));
}

TEST_F(TcpTransport, DropForComesBackOnTheSamePort) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    reader_.dropFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(client.waitForClose());
    EXPECT_TRUE(eventually([&] { return client.connect(port_); }));
    EXPECT_TRUE(client.ask(0x10));
}

TEST_F(TcpTransport, RebootAnswersThenDropsAndComesBack) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    const auto answer = client.ask(0x30);
    ASSERT_TRUE(answer);
    EXPECT_EQ(commandOf(*answer), 0x30);
    EXPECT_TRUE(client.waitForClose());
    EXPECT_TRUE(eventually([&] { return client.connect(port_); }));
    EXPECT_TRUE(client.ask(0x10));
}

TEST_F(TcpTransport, OverrideSendsExactBytesOrNothing) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    const Bytes exact = {0x4A, 0x51, 0x00, 0x04, 0x09, 0x10, 0x01, 0x00};
    reader_.setAnswerOverride([exact](const Bytes &request) -> std::optional<Bytes> {
        if (request.at(5) == 0x10) return exact;
        if (request.at(5) == 0x20) return Bytes{};
        return std::nullopt;
    });
    ASSERT_TRUE(client.send(requestFrame(0x10)));
    EXPECT_EQ(client.readRaw(exact.size()), exact);
    ASSERT_TRUE(client.send(requestFrame(0x20)));
    ASSERT_TRUE(reader_.waitForRequests(2, kDeadline));
    const auto next = client.ask(0x2D);  // not overridden: the model answers
    ASSERT_TRUE(next);
    EXPECT_EQ(commandOf(*next), 0x2D);  // nothing came for 0x20 before it
}

TEST_F(TcpTransport, SendRawReachesTheClient) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    ASSERT_TRUE(client.ask(0x10));  // the reader has accepted this client
    reader_.sendRaw({1, 2, 3, 4});
    EXPECT_EQ(client.readRaw(4), (Bytes{1, 2, 3, 4}));
}

TEST_F(TcpTransport, ModelChangesShowInTheNextAnswer) {
    FrameClient client;
    ASSERT_TRUE(client.connect(port_));
    reader_.withModel([](readersim::ReaderModel &model) {
        model.tags.resize(1);
        model.tags[0].temperatureSensor = true;
        model.tags[0].temperature = 23.5f;
    });
    const auto answer = client.ask(0x01, {0, 0, 0});
    ASSERT_TRUE(answer);
    const Bytes data = dataOf(*answer);
    ASSERT_EQ(data.at(1), 1);
    EXPECT_EQ(data.at(3), 2);  // record type: temperature
    EXPECT_EQ(Bytes(data.end() - 4, data.end()), (Bytes{0x00, 0x00, 0xBC, 0x41}));
}

TEST(TcpTransportLifetime, DestructionWithAConnectedClientAndPendingDelayDoesNotHang) {
    FrameClient client;
    {
        VirtualReader reader;
        readersim::Faults slow;
        slow.answerDelay = std::chrono::milliseconds(60000);
        reader.setFaults(slow);
        ASSERT_TRUE(client.connect(reader.serveTcp()));
        ASSERT_TRUE(client.send(requestFrame(0x10)));
        ASSERT_TRUE(reader.waitForRequests(1, kDeadline));
    }
    EXPECT_TRUE(client.waitForClose());
}

}  // namespace

namespace {

TEST(RequestLog, LimitKeepsTheNewestFrames) {
    readersim::ReaderOptions options;
    options.requestLogLimit = 2;
    VirtualReader reader(options);
    FrameClient client;
    ASSERT_TRUE(client.connect(reader.serveTcp()));
    for (uint8_t command : {0x10, 0x20, 0x2D}) ASSERT_TRUE(client.ask(command));
    const auto frames = reader.requests();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], requestFrame(0x20));
    EXPECT_EQ(frames[1], requestFrame(0x2D));
}

}  // namespace
