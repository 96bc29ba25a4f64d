// Device management commands of QnComApi against the virtual reader over a pseudo-terminal:
// what goes on the wire, what is copied back, and what a failure leaves behind.
#include <algorithm>
#include <numeric>

#include "serial_fixture.h"

namespace serialtest {
namespace {

const uint8_t kPassword[4] = {0x11, 0x22, 0x33, 0x44};

Bytes sequence(size_t size, uint8_t first = 1) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

using DeviceCommands = SerialReaderTest;

TEST_F(DeviceCommands, SystemInfoRequestIsTheBareSevenByteFrame) {
    uint8_t info[10] = {};
    ASSERT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(lastRequest(0x10), (Bytes{0x5A, 0x4B, 0x00, 0x03, 0xFF, 0x10, 0x49}));
}

TEST_F(DeviceCommands, RequestsCarryTheirDataInTheDocumentedOrder) {
    const uint8_t serial[7] = {0x50, 1, 2, 3, 4, 5, 6};
    QnCom_SetDeviceSystemInfo(0xFF, kPassword, 0xA1, 0xA2, serial);  // the reader checks pwd
    EXPECT_EQ(requestData(*lastRequest(0x12)),
              (Bytes{0x11, 0x22, 0x33, 0x44, 0xA1, 0xA2, 0x50, 1, 2, 3, 4, 5, 6}));

    const uint8_t id[4] = {9, 8, 7, 6};
    QnCom_SetDeviceID(0xFF, kPassword, id);
    EXPECT_EQ(requestData(*lastRequest(0x17)), (Bytes{0x11, 0x22, 0x33, 0x44, 9, 8, 7, 6}));

    QnCom_SetDeviceOneParam(0xFF, 3, 0x7E);
    EXPECT_EQ(requestData(*lastRequest(0x24)), (Bytes{3, 0x7E}));

    const uint8_t time[6] = {26, 12, 8, 13, 14, 15};
    ASSERT_EQ(QnCom_SetDeviceTime(0xFF, time), 1);
    EXPECT_EQ(requestData(*lastRequest(0x2C)), Bytes(time, time + 6));

    ASSERT_EQ(QnCom_RelayOn(0xFF), 1);
    EXPECT_TRUE(requestData(*lastRequest(0x85)).empty());
}

TEST_F(DeviceCommands, RecordWritesPutLeadingByteAndMarkersBeforeTheRecord) {
    const Bytes record = sequence(16);
    QnCom_SetDeviceParam(0xFF, 0x42, record.data(), 16);
    Bytes expected{0x42, 0x55};
    expected.insert(expected.end(), record.begin(), record.end());
    EXPECT_EQ(requestData(*lastRequest(0x21)), expected);

    const Bytes netRecord = sequence(250);
    QnCom_SetDeviceNetParam(0xFF, 0x07, netRecord.data(), 250);
    const Bytes netData = requestData(*lastRequest(0x27));
    ASSERT_EQ(netData.size(), 253u);
    EXPECT_EQ((Bytes{netData[0], netData[1], netData[2]}), (Bytes{0x07, 0x55, 0x00}));
    EXPECT_TRUE(std::equal(netRecord.begin(), netRecord.end(), netData.begin() + 3));
}

TEST_F(DeviceCommands, RecordReadsSkipTheIgnoredBytes) {
    Bytes answer{0x42, 0xEE};
    const Bytes record = sequence(16, 0x10);
    answer.insert(answer.end(), record.begin(), record.end());
    answer.push_back(0x99);  // more than asked for: not copied
    answerOnce(0x20, answer);
    uint8_t lead = 0;
    Bytes out(17, 0xCC);
    ASSERT_EQ(QnCom_ReadDeviceParam(0xFF, &lead, out.data(), 16), 1);
    EXPECT_EQ(lead, 0x42);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), record);
    EXPECT_EQ(out[16], 0xCC);

    answerOnce(0x26, {0x05, 0xE1, 0xE2, 0xA0, 0xA1, 0xA2, 0xA3});
    Bytes net(4, 0);
    ASSERT_EQ(QnCom_ReadDeviceNetParam(0xFF, &lead, net.data(), 4), 1);
    EXPECT_EQ(lead, 0x05);
    EXPECT_EQ(net, (Bytes{0xA0, 0xA1, 0xA2, 0xA3}));
}

TEST_F(DeviceCommands, SingleValueResultsComeFromTheirDataBytes) {
    answerOnce(0x23, {0x03, 0x5A});
    uint8_t value = 0;
    ASSERT_EQ(QnCom_ReadDeviceOneParam(0xFF, 3, &value), 1);
    EXPECT_EQ(value, 0x5A);

    answerOnce(0xE1, {0x00, 0x05});
    uint8_t antennas[2] = {};
    ASSERT_EQ(QnCom_CheckAnt(0xFF, antennas), 1);
    EXPECT_EQ(antennas[1], 0x05);  // antennas 1 and 3 pass
}

TEST_F(DeviceCommands, FixedSizeTextResultsAreFilledWholeEvenFromShortAnswers) {
    answerOnce(0xF1, {'-', '6', '7'});
    Bytes signal(8, 0xCC);
    ASSERT_EQ(QnCom_GPRSGetSignal(0xFF, signal.data()), 1);
    EXPECT_EQ(signal, (Bytes{'-', '6', '7', 0, 0, 0, 0, 0}));

    Bytes gps(1024, 0xCC);
    ASSERT_EQ(QnCom_GetGPS(0xFF, gps.data()), 1);
    EXPECT_TRUE(std::none_of(gps.begin(), gps.end(), [](uint8_t b) { return b == 0xCC; }));
}

TEST_F(DeviceCommands, SystemInfoBecomesTheSerialNumberOfLaterCallbacks) {
    QnCom_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    uint8_t info[10] = {};
    ASSERT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    uint8_t transState = 0;
    ASSERT_EQ(QnCom_ReadTransState(0xFF, &transState), 1);
    const auto events = traffic_.events();
    ASSERT_FALSE(events.empty());
    const auto &last = events.back();
    EXPECT_EQ(last.event, 2);
    EXPECT_EQ(last.value, 0);
    EXPECT_EQ(last.serial, Bytes(info + 2, info + 9));
}

TEST_F(DeviceCommands, TrafficCallbackSeesEveryFrameSentAndReceived) {
    QnCom_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    uint8_t info[10] = {};
    ASSERT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    ASSERT_TRUE(traffic_.waitForCount(2, -1, 2));
    const auto events = traffic_.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].value, 1);
    EXPECT_EQ(events[0].data, (Bytes{0x5A, 0x4B, 0x00, 0x03, 0xFF, 0x10, 0x49}));
    EXPECT_TRUE(events[0].serial.empty());
    EXPECT_EQ(events[1].value, 0);
    EXPECT_EQ(events[1].length, 18);  // "JQ", length, address, command, status, 10, checksum
    EXPECT_EQ(events[1].data[0], 0x4A);
    EXPECT_EQ(events[1].data[5], 0x10);
}

TEST_F(DeviceCommands, FailuresLeaveOutBuffersUntouched) {
    Bytes out(10, 0xCC);
    readersim::Faults faults;
    faults.failureStatus = true;
    reader_->setFaults(faults);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, out.data()), 0);

    faults = {};
    faults.wrongEcho = true;
    reader_->setFaults(faults);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, out.data()), 0);

    faults = {};
    faults.badChecksum = true;
    reader_->setFaults(faults);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, out.data()), 0);

    faults = {};
    faults.dropEveryNth = 1;  // no answer: the 100-poll wait runs out
    reader_->setFaults(faults);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, out.data()), 0);
    EXPECT_EQ(out, Bytes(10, 0xCC));

    reader_->setFaults({});
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, out.data()), 1);
}

TEST_F(DeviceCommands, AnswersFromAnotherReaderFailUnlessAnyReaderIsConfigured) {
    readersim::Faults faults;
    faults.wrongAddress = 0x06;
    reader_->setFaults(faults);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0x05, info), 0);
    EXPECT_EQ((*lastRequest(0x10))[4], 0x05);  // the frame carries the configured address
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0x05);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0xFF);
}

TEST_F(DeviceCommands, NothingIsSentWithoutAConnection) {
    QnCom_CloseDevice();
    reader_->clearRequests();
    QnCom_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 0);
    EXPECT_EQ(QnCom_ClearTagBuf(), 0);
    EXPECT_TRUE(traffic_.events().empty());
}

TEST_F(DeviceCommands, ReadsReturnWhatWasWrittenAndDefaultsRestore) {
    uint8_t lead = 0;
    Bytes original(64, 0);
    ASSERT_EQ(QnCom_ReadDeviceParam(0xFF, &lead, original.data(), 64), 1);
    Bytes changed = original;
    changed[5] ^= 0x01;
    ASSERT_EQ(QnCom_SetDeviceParam(0xFF, lead, changed.data(), 64), 1);
    Bytes back(64, 0);
    ASSERT_EQ(QnCom_ReadDeviceParam(0xFF, &lead, back.data(), 64), 1);
    EXPECT_EQ(back, changed);
    ASSERT_EQ(QnCom_DefaultDeviceParam(0xFF), 1);
    ASSERT_EQ(QnCom_ReadDeviceParam(0xFF, &lead, back.data(), 64), 1);
    EXPECT_EQ(back, original);
}

}  // namespace
}  // namespace serialtest
