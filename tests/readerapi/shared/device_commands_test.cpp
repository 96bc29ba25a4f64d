// Device management commands of every reader library against the virtual reader: what goes
// on the wire, what is copied back, what a failure leaves behind, and the traffic events.
#include <algorithm>
#include <functional>
#include <numeric>

#include "reader_fixture.h"

namespace readertest {
namespace {

const uint8_t kPassword[4] = {0x11, 0x22, 0x33, 0x44};

Bytes sequence(size_t size, uint8_t first = 1) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

template <class Library>
using DeviceCommands = ReaderTest<Library>;
TYPED_TEST_SUITE(DeviceCommands, AllLibraries, LibraryName);

TYPED_TEST(DeviceCommands, SystemInfoRequestIsTheBareSevenByteFrame) {
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(this->lastRequest(0x10), (Bytes{0x5A, 0x4B, 0x00, 0x03, 0xFF, 0x10, 0x49}));
}

TYPED_TEST(DeviceCommands, RequestsCarryTheirDataInTheDocumentedOrder) {
    const uint8_t serial[7] = {0x50, 1, 2, 3, 4, 5, 6};
    this->qn.SetDeviceSystemInfo(0xFF, kPassword, 0xA1, 0xA2, serial);  // the reader checks pwd
    EXPECT_EQ(requestData(*this->lastRequest(0x12)),
              (Bytes{0x11, 0x22, 0x33, 0x44, 0xA1, 0xA2, 0x50, 1, 2, 3, 4, 5, 6}));

    const uint8_t id[4] = {9, 8, 7, 6};
    this->qn.SetDeviceID(0xFF, kPassword, id);
    EXPECT_EQ(requestData(*this->lastRequest(0x17)), (Bytes{0x11, 0x22, 0x33, 0x44, 9, 8, 7, 6}));

    this->qn.SetDeviceOneParam(0xFF, 3, 0x7E);
    EXPECT_EQ(requestData(*this->lastRequest(0x24)), (Bytes{3, 0x7E}));

    const uint8_t time[6] = {26, 12, 8, 13, 14, 15};
    ASSERT_EQ(this->qn.SetDeviceTime(0xFF, time), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x2C)), Bytes(time, time + 6));

    ASSERT_EQ(this->qn.RelayOn(0xFF), 1);
    EXPECT_TRUE(requestData(*this->lastRequest(0x85)).empty());
}

TYPED_TEST(DeviceCommands, RecordWritesPutLeadingByteAndMarkersBeforeTheRecord) {
    const Bytes record = sequence(16);
    this->qn.SetDeviceParam(0xFF, 0x42, record.data(), 16);
    Bytes expected{0x42, 0x55};
    expected.insert(expected.end(), record.begin(), record.end());
    EXPECT_EQ(requestData(*this->lastRequest(0x21)), expected);

    const Bytes netRecord = sequence(250);
    this->qn.SetDeviceNetParam(0xFF, 0x07, netRecord.data(), 250);
    const Bytes netData = requestData(*this->lastRequest(0x27));
    ASSERT_EQ(netData.size(), 253u);
    EXPECT_EQ((Bytes{netData[0], netData[1], netData[2]}), (Bytes{0x07, 0x55, 0x00}));
    EXPECT_TRUE(std::equal(netRecord.begin(), netRecord.end(), netData.begin() + 3));
}

TYPED_TEST(DeviceCommands, RecordReadsSkipTheIgnoredBytes) {
    Bytes answer{0x42, 0xEE};
    const Bytes record = sequence(16, 0x10);
    answer.insert(answer.end(), record.begin(), record.end());
    answer.push_back(0x99);  // more than asked for: not copied
    this->answerOnce(0x20, answer);
    uint8_t lead = 0;
    Bytes out(17, 0xCC);
    ASSERT_EQ(this->qn.ReadDeviceParam(0xFF, &lead, out.data(), 16), 1);
    EXPECT_EQ(lead, 0x42);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), record);
    EXPECT_EQ(out[16], 0xCC);

    this->answerOnce(0x26, {0x05, 0xE1, 0xE2, 0xA0, 0xA1, 0xA2, 0xA3});
    Bytes net(4, 0);
    ASSERT_EQ(this->qn.ReadDeviceNetParam(0xFF, &lead, net.data(), 4), 1);
    EXPECT_EQ(lead, 0x05);
    EXPECT_EQ(net, (Bytes{0xA0, 0xA1, 0xA2, 0xA3}));
}

TYPED_TEST(DeviceCommands, SingleValueResultsComeFromTheirDataBytes) {
    this->answerOnce(0x23, {0x03, 0x5A});
    uint8_t value = 0;
    ASSERT_EQ(this->qn.ReadDeviceOneParam(0xFF, 3, &value), 1);
    EXPECT_EQ(value, 0x5A);

    this->answerOnce(0xE1, {0x00, 0x05});
    uint8_t antennas[2] = {};
    ASSERT_EQ(this->qn.CheckAnt(0xFF, antennas), 1);
    EXPECT_EQ(antennas[1], 0x05);  // antennas 1 and 3 pass
}

TYPED_TEST(DeviceCommands, FixedSizeTextResultsAreFilledWholeEvenFromShortAnswers) {
    this->answerOnce(0xF1, {'-', '6', '7'});
    Bytes signal(8, 0xCC);
    ASSERT_EQ(this->qn.GPRSGetSignal(0xFF, signal.data()), 1);
    EXPECT_EQ(signal, (Bytes{'-', '6', '7', 0, 0, 0, 0, 0}));

    Bytes gps(1024, 0xCC);
    ASSERT_EQ(this->qn.GetGPS(0xFF, gps.data()), 1);
    EXPECT_TRUE(std::none_of(gps.begin(), gps.end(), [](uint8_t b) { return b == 0xCC; }));
}

TYPED_TEST(DeviceCommands, SystemInfoBecomesTheSerialNumberOfLaterCallbacks) {
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    uint8_t transState = 0;
    ASSERT_EQ(this->qn.ReadTransState(0xFF, &transState), 1);
    const auto events = this->traffic_.events();
    ASSERT_FALSE(events.empty());
    const auto &last = events.back();
    EXPECT_EQ(last.event, 2);
    EXPECT_EQ(last.value, 0);
    EXPECT_EQ(last.serial, Bytes(info + 2, info + 9));
}

TYPED_TEST(DeviceCommands, TrafficCallbackSeesEveryFrameSentAndReceived) {
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    ASSERT_TRUE(this->traffic_.waitForCount(2, -1, 2));
    const auto events = this->traffic_.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].value, 1);
    EXPECT_EQ(events[0].data, (Bytes{0x5A, 0x4B, 0x00, 0x03, 0xFF, 0x10, 0x49}));
    EXPECT_TRUE(events[0].serial.empty());
    EXPECT_EQ(events[1].value, 0);
    EXPECT_EQ(events[1].length, 18);  // "JQ", length, address, command, status, 10, checksum
    EXPECT_EQ(events[1].data[0], 0x4A);
    EXPECT_EQ(events[1].data[5], 0x10);
}

TYPED_TEST(DeviceCommands, FailuresLeaveOutBuffersUntouched) {
    Bytes out(10, 0xCC);
    readersim::Faults faults;
    faults.failureStatus = true;
    this->reader_->setFaults(faults);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, out.data()), 0);

    faults = {};
    faults.wrongEcho = true;
    this->reader_->setFaults(faults);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, out.data()), 0);

    faults = {};
    faults.badChecksum = true;
    this->reader_->setFaults(faults);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, out.data()), 0);

    faults = {};
    faults.dropEveryNth = 1;  // no answer: the 100-poll wait runs out
    this->reader_->setFaults(faults);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, out.data()), 0);
    EXPECT_EQ(out, Bytes(10, 0xCC));

    this->reader_->setFaults({});
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, out.data()), 1);
}

TYPED_TEST(DeviceCommands, TheAddressArgumentTravelsOnlyWhereFramesCarryIt) {
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0x05, info), 1);
    const Bytes request = *this->lastRequest(0x10);
    EXPECT_EQ(request[4], TypeParam::kSendsAddress ? 0x05 : 0xFF);
    EXPECT_EQ(request.size(), 7u);
}

TYPED_TEST(DeviceCommands, NothingIsSentWithoutAConnection) {
    this->qn.CloseDevice();
    this->reader_->clearRequests();
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);
    if (this->qn.ClearTagBuf) {
        EXPECT_EQ(this->qn.ClearTagBuf(), 0);
    }
    EXPECT_TRUE(this->traffic_.events().empty());
}

TYPED_TEST(DeviceCommands, ReadsReturnWhatWasWrittenAndDefaultsRestore) {
    uint8_t lead = 0;
    Bytes original(64, 0);
    ASSERT_EQ(this->qn.ReadDeviceParam(0xFF, &lead, original.data(), 64), 1);
    Bytes changed = original;
    changed[5] ^= 0x01;
    ASSERT_EQ(this->qn.SetDeviceParam(0xFF, lead, changed.data(), 64), 1);
    Bytes back(64, 0);
    ASSERT_EQ(this->qn.ReadDeviceParam(0xFF, &lead, back.data(), 64), 1);
    EXPECT_EQ(back, changed);
    ASSERT_EQ(this->qn.DefaultDeviceParam(0xFF), 1);
    ASSERT_EQ(this->qn.ReadDeviceParam(0xFF, &lead, back.data(), 64), 1);
    EXPECT_EQ(back, original);
}

TYPED_TEST(DeviceCommands, SimpleCommandsSucceedAgainstTheReader) {
    const uint8_t pwd[4] = {};
    uint8_t out[64] = {};
    uint8_t lead = 0;
    const std::vector<std::pair<const char *, std::function<int()>>> calls = {
        {"ReadDeviceID", [&] { return this->qn.ReadDeviceID(0xFF, pwd, out); }},
        {"ReadTransState", [&] { return this->qn.ReadTransState(0xFF, out); }},
        {"RelayOff", [&] { return this->qn.RelayOff(0xFF); }},
        {"CheckModule", [&] { return this->qn.CheckModule(0xFF, out); }},
        {"GPRSGetSIMState", [&] { return this->qn.GPRSGetSIMState(0xFF, out); }},
        {"GPRSGetLBS", [&] { return this->qn.GPRSGetLBS(0xFF, out); }},
        {"ReadDeviceSpecialParam",
         [&] { return this->qn.ReadDeviceSpecialParam(0xFF, &lead, out, 64); }},
        {"SetDeviceSpecialParam",
         [&] { return this->qn.SetDeviceSpecialParam(0xFF, lead, out, 64); }},
        {"DefaultDeviceNetParam", [&] { return this->qn.DefaultDeviceNetParam(0xFF); }},
        {"ReadDeviceTime", [&] { return this->qn.ReadDeviceTime(0xFF, out); }},
    };
    for (const auto &[name, call] : calls) EXPECT_EQ(call(), 1) << name;
}

TYPED_TEST(DeviceCommands, TextLongerThanOneReadArrivesWhole) {
    Bytes text(1024);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>('A' + i % 26);
    this->answerOnce(0xF3, text);
    Bytes out(1024);
    ASSERT_EQ(this->qn.GetGPS(0xFF, out.data()), 1);
    EXPECT_EQ(out, text);
}

}  // namespace
}  // namespace readertest
