// Opening QnNetApi towards peers that cannot or will not take the connection.
#include <gtest/gtest.h>

#include <cstring>
#include <future>

#include "QnNetApi.h"
#include "callback_recorder.h"
#include "frame.h"
#include "loopback_socket.h"

namespace {

using testsupport::LoopbackSocket;

class NetOpenTest : public ::testing::Test {
  protected:
    void TearDown() override {
        QnNet_CloseDevice();
        QnNet_SetCallback(nullptr);
    }
};

TEST_F(NetOpenTest, TextThatIsNotDottedIpv4FailsAtOnce) {
    EXPECT_EQ(QnNet_OpenDevice("localhost", 6000), 0);
    EXPECT_EQ(QnNet_OpenDevice("", 6000), 0);
    EXPECT_EQ(QnNet_OpenDevice(nullptr, 6000), 0);
}

TEST_F(NetOpenTest, PortZeroFailsAtOnce) {
    EXPECT_EQ(QnNet_OpenDevice("127.0.0.1", 0), 0);
}

TEST_F(NetOpenTest, PortWhereNothingListensFails) {
    const LoopbackSocket unlistened = LoopbackSocket::boundOnly();
    ASSERT_TRUE(unlistened.valid());
    EXPECT_EQ(QnNet_OpenDevice("127.0.0.1", unlistened.port()), 0);
}

TEST_F(NetOpenTest, ReaderThatDoesNotTakeTheConnectionInTimeFailsTheOpen) {
    // A listener with backlog 0 holds one finished connection; while that one waits to be
    // accepted, the kernel drops further connection requests, so the connect hangs.
    const LoopbackSocket listener = LoopbackSocket::listening(0);
    ASSERT_TRUE(listener.valid());
    const LoopbackSocket waiting = LoopbackSocket::connectedTo(listener.port());
    ASSERT_TRUE(waiting.valid());
    EXPECT_EQ(QnNet_OpenDevice("127.0.0.1", listener.port()), 0);
}

TEST_F(NetOpenTest, ListenerThatTakesTheConnectionOpens) {
    const LoopbackSocket listener = LoopbackSocket::listening(4);
    ASSERT_TRUE(listener.valid());
    EXPECT_EQ(QnNet_OpenDevice("127.0.0.1", listener.port()), 1);
}

TEST_F(NetOpenTest, CommandsWithoutConnectionFailWithoutTouchingBuffers) {
    const LoopbackSocket unlistened = LoopbackSocket::boundOnly();
    ASSERT_EQ(QnNet_OpenDevice("127.0.0.1", unlistened.port()), 0);
    uint8_t info[10] = {0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB};
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 0);
    EXPECT_EQ(info[0], 0xAB);
    EXPECT_EQ(QnNet_RelayOn(0xFF), 0);
}

TEST_F(NetOpenTest, BadTextLeavesTheOpenConnectionWorking) {
    const LoopbackSocket listener = LoopbackSocket::listening(4);
    ASSERT_EQ(QnNet_OpenDevice("127.0.0.1", listener.port()), 1);
    const LoopbackSocket peer = listener.acceptOne();
    ASSERT_TRUE(peer.valid());
    EXPECT_EQ(QnNet_OpenDevice("not an address", listener.port()), 0);
    EXPECT_EQ(QnNet_OpenDevice("127.0.0.1", 0), 0);

    auto relayOn = std::async(std::launch::async, [] { return QnNet_RelayOn(0x05); });
    uint8_t request[7];
    ASSERT_TRUE(peer.receiveExactly(request, sizeof request));
    const uint8_t expected[7] = {'Z', 'K', 0x00, 0x03, 0xFF, 0x85, 0x00};
    EXPECT_EQ(std::memcmp(request, expected, 6), 0) << "frames carry address 0xFF";
    uint8_t answer[8];
    ASSERT_EQ(qn::buildResponse(0xFF, 0x85, 1, {}, answer), sizeof answer);
    ASSERT_TRUE(peer.sendAll(answer, sizeof answer));
    EXPECT_EQ(relayOn.get(), 1);
}

TEST_F(NetOpenTest, PeerClosingTheConnectionFailsThePendingCommand) {
    const LoopbackSocket listener = LoopbackSocket::listening(4);
    ASSERT_EQ(QnNet_OpenDevice("127.0.0.1", listener.port()), 1);
    LoopbackSocket peer = listener.acceptOne();
    ASSERT_TRUE(peer.valid());
    peer = LoopbackSocket();
    uint8_t info[10];
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 0);
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 0);  // a write to the closed peer: no SIGPIPE
}

TEST_F(NetOpenTest, ClosedConnectionIsReportedAndMadeAgain) {
    testsupport::CallbackRecorder &app = testsupport::CallbackRecorder::app();
    app.clear();
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    const LoopbackSocket listener = LoopbackSocket::listening(4);
    ASSERT_EQ(QnNet_OpenDevice("127.0.0.1", listener.port()), 1);
    LoopbackSocket peer = listener.acceptOne();
    ASSERT_TRUE(peer.valid());
    peer = LoopbackSocket();
    EXPECT_TRUE(app.waitForCount(1, 0, 1));
    // The listener is still there, so the next attempt connects to the same port.
    EXPECT_TRUE(app.waitForCount(0, 0, 1));
    EXPECT_TRUE(listener.acceptOne().valid());
}

}  // namespace
