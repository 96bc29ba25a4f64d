// Device management commands over TCP against the virtual reader.
#include <algorithm>
#include <cstring>

#include "net_fixture.h"

namespace nettest {
namespace {

TEST_F(NetReaderTest, SystemInfoTravelsWithAddress0xFF) {
    uint8_t info[10] = {};
    ASSERT_EQ(QnNet_GetDeviceSystemInfo(0x05, info), 1);
    const auto request = lastRequest(0x10);
    ASSERT_TRUE(request.has_value());
    const Bytes head(request->begin(), request->begin() + 6);
    EXPECT_EQ(head, (Bytes{'Z', 'K', 0x00, 0x03, 0xFF, 0x10}));
    EXPECT_EQ(request->size(), 7u);
}

TEST_F(NetReaderTest, SystemInfoNamesTheReaderInLaterCallbacks) {
    QnNet_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    answerOnce(0x10, {0x12, 0x34, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0x09});
    uint8_t info[10] = {};
    ASSERT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(info[0], 0x12);
    EXPECT_EQ(info[9], 0x09);
    traffic_.clear();
    ASSERT_EQ(QnNet_RelayOn(0xFF), 1);
    ASSERT_TRUE(traffic_.waitForCount(2, 0, 1));
    for (const auto &event : traffic_.events()) {
        if (event.event == 2 && event.value == 0) {
            EXPECT_EQ(event.serial, (Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}));
        }
    }
}

TEST_F(NetReaderTest, DeviceRecordIsReadAndWrittenBack) {
    uint8_t lead = 0;
    uint8_t record[32] = {};
    ASSERT_EQ(QnNet_ReadDeviceParam(0xFF, &lead, record, sizeof record), 1);
    ASSERT_EQ(QnNet_SetDeviceParam(0xFF, lead, record, sizeof record), 1);
    const auto request = lastRequest(0x21);
    ASSERT_TRUE(request.has_value());
    Bytes expected{lead, 0x55};
    expected.insert(expected.end(), record, record + sizeof record);
    EXPECT_EQ(requestData(*request), expected);
    EXPECT_EQ(QnNet_DefaultDeviceParam(0xFF), 1);
}

TEST_F(NetReaderTest, NetworkAndSpecialRecordsAreReadAndWrittenBack) {
    uint8_t lead = 0;
    uint8_t net[160] = {};
    ASSERT_EQ(QnNet_ReadDeviceNetParam(0xFF, &lead, net, sizeof net), 1);
    ASSERT_EQ(QnNet_SetDeviceNetParam(0xFF, lead, net, sizeof net), 1);
    const auto netRequest = lastRequest(0x27);
    ASSERT_TRUE(netRequest.has_value());
    EXPECT_EQ(requestData(*netRequest).size(), sizeof net + 3);

    uint8_t special[64] = {};
    ASSERT_EQ(QnNet_ReadDeviceSpecialParam(0xFF, &lead, special, sizeof special), 1);
    ASSERT_EQ(QnNet_SetDeviceSpecialParam(0xFF, lead, special, sizeof special), 1);
    EXPECT_EQ(QnNet_DefaultDeviceNetParam(0xFF), 1);
}

TEST_F(NetReaderTest, OneParameterIsReadAndSet) {
    answerOnce(0x23, {0x07, 0x42});
    uint8_t value = 0;
    ASSERT_EQ(QnNet_ReadDeviceOneParam(0xFF, 0x07, &value), 1);
    EXPECT_EQ(value, 0x42);
    ASSERT_EQ(QnNet_SetDeviceOneParam(0xFF, 0x07, 0x43), 1);
    const auto request = lastRequest(0x24);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(requestData(*request), (Bytes{0x07, 0x43}));
}

TEST_F(NetReaderTest, ClockIsSetAndRead) {
    const uint8_t clock[6] = {26, 12, 8, 2, 30, 15};
    ASSERT_EQ(QnNet_SetDeviceTime(0xFF, clock), 1);
    uint8_t read[6] = {};
    ASSERT_EQ(QnNet_ReadDeviceTime(0xFF, read), 1);
    EXPECT_EQ(read[0], 26);
    EXPECT_EQ(read[1], 12);
}

TEST_F(NetReaderTest, IdentityStateRelayAndChecks) {
    const uint8_t pwd[4] = {};
    uint8_t id[5] = {};
    EXPECT_EQ(QnNet_ReadDeviceID(0xFF, pwd, id), 1);
    uint8_t state = 0;
    EXPECT_EQ(QnNet_ReadTransState(0xFF, &state), 1);
    EXPECT_EQ(QnNet_RelayOn(0xFF), 1);
    EXPECT_EQ(QnNet_RelayOff(0xFF), 1);
    uint8_t module = 0;
    EXPECT_EQ(QnNet_CheckModule(0xFF, &module), 1);
    answerOnce(0xE1, {0x00, 0x05});
    uint8_t antennas[2] = {};
    ASSERT_EQ(QnNet_CheckAnt(0xFF, antennas), 1);
    EXPECT_EQ(antennas[1], 0x05);
}

TEST_F(NetReaderTest, GpsTextLongerThanOneReadArrivesWhole) {
    Bytes text(1024);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>('A' + i % 26);
    answerOnce(0xF3, text);
    Bytes out(1024);
    ASSERT_EQ(QnNet_GetGPS(0xFF, out.data()), 1);
    EXPECT_EQ(out, text);
}

TEST_F(NetReaderTest, GprsTextsAreRead) {
    uint8_t sim = 0;
    uint8_t signal[8] = {};
    uint8_t location[64] = {};
    EXPECT_EQ(QnNet_GPRSGetSIMState(0xFF, &sim), 1);
    EXPECT_EQ(QnNet_GPRSGetSignal(0xFF, signal), 1);
    EXPECT_EQ(QnNet_GPRSGetLBS(0xFF, location), 1);
}

TEST_F(NetReaderTest, CloseEndsTheConnectionAndOpenMakesItAgain) {
    QnNet_CloseDevice();
    uint8_t info[10] = {};
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 0);
    ASSERT_EQ(QnNet_OpenDevice("127.0.0.1", port_), 1);
    EXPECT_EQ(QnNet_GetDeviceSystemInfo(0xFF, info), 1);
}

}  // namespace
}  // namespace nettest
