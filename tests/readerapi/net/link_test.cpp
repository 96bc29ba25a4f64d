// Waiting, answer matching and reconnection of QnNetApi over TCP.
#include <cstring>

#include "net_fixture.h"

namespace nettest {
namespace {

using namespace std::chrono_literals;

TEST_F(NetReaderTest, LateAnswerFailsTheCommandAndTheNextGetsItsOwn) {
    QnNet_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    readersim::Faults slow;
    slow.answerDelay = 600ms;
    reader_->setFaults(slow);
    uint8_t info[10];
    std::memset(info, 0xAB, sizeof info);
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 0);  // waits 100 polls: 500 ms
    EXPECT_EQ(info[0], 0xAB) << "a failed command leaves the buffer alone";
    ASSERT_TRUE(traffic_.waitForCount(2, 0, 1)) << "the late answer arrives after all";
    waitForEarlierFramesDelivered();

    reader_->setFaults({});
    answerOnce(0x2B, {26, 12, 8, 1, 2, 3});
    uint8_t clock[6] = {};
    ASSERT_EQ(QnNet_ReadDeviceTime(0xFF, clock), 1);
    EXPECT_EQ(clock[5], 3);
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST_F(NetReaderTest, CommandWithALongerWaitOutlastsTheSameDelay) {
    readersim::Faults slow;
    slow.answerDelay = 600ms;
    reader_->setFaults(slow);
    Bytes position(1024);
    EXPECT_EQ(QnNet_GetGPS(0xFF, position.data()), 1);  // waits 400 polls: 2 s
}

TEST_F(NetReaderTest, EachCommandRightAfterAnotherGetsItsOwnAnswer) {
    // The reader answers a one-parameter read with a value derived from the index asked.
    reader_->setAnswerOverride([](const Bytes &request) -> std::optional<Bytes> {
        if (request.size() < 8 || request[5] != 0x23) return std::nullopt;
        const uint8_t index = request[6];
        return responseFrame(0x23, {index, static_cast<uint8_t>(index ^ 0x5A)});
    });
    for (int index = 0; index < 64; ++index) {
        uint8_t value = 0;
        ASSERT_EQ(QnNet_ReadDeviceOneParam(0xFF, static_cast<uint8_t>(index), &value), 1);
        EXPECT_EQ(value, index ^ 0x5A);
        uint8_t info[10] = {};
        ASSERT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
    }
}

TEST_F(NetReaderTest, AnswerThatCameUnaskedIsNotTakenForTheNextCommand) {
    const Bytes stale(10, 0xEE);
    reader_->sendRaw(responseFrame(0x10, stale));
    waitForEarlierFramesDelivered();
    uint8_t info[10] = {};
    ASSERT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_NE(Bytes(info, info + 10), stale);
}

TEST_F(NetReaderTest, DroppedConnectionIsReportedUntilTheReaderTakesItAgain) {
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    QnNet_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    reader_->unplug();
    ASSERT_TRUE(app_.waitForCount(1, 0, 2)) << "event 1 repeats while the link stays lost";
    EXPECT_TRUE(traffic_.waitForCount(1, 0, 2));
    reader_->replug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1));
    EXPECT_TRUE(traffic_.waitForCount(0, 0, 1));
    uint8_t info[10] = {};
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST_F(NetReaderTest, ReaderThatComesBackByItselfIsReconnected) {
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    reader_->dropFor(1s);
    ASSERT_TRUE(app_.waitForCount(1, 0, 1));
    ASSERT_TRUE(app_.waitForCount(0, 0, 1));
    uint8_t info[10] = {};
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
}

}  // namespace
}  // namespace nettest
