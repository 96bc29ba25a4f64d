// Active-mode reports: the application callback, the tag buffer and its status byte.
#include <algorithm>

#include "serial_fixture.h"

namespace serialtest {
namespace {

const Bytes kSerial{0xD2, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};

Bytes record(uint8_t fill, size_t bodyBytes) {
    Bytes bytes(bodyBytes + 1, fill);
    bytes[0] = static_cast<uint8_t>(bodyBytes);
    return bytes;
}

class ActiveMode : public SerialReaderTest {
protected:
    void SetUp() override {
        SerialReaderTest::SetUp();
        app_.setKeepBytes(4096);
        QnCom_SetCallback(testsupport::CallbackRecorder::appCallback);
        drain();
    }
    struct Drained {
        uint8_t status;
        Bytes records;
        int32_t tags;
    };
    Drained drain() {
        Bytes buffer(48548, 0);
        int32_t bytes = -1, tags = -1;
        const uint8_t status = QnCom_GetTagBuf(buffer.data(), &bytes, &tags);
        buffer.resize(size_t(std::max(bytes, 0)));
        return {status, buffer, tags};
    }
    // Reports are stored just after their callback returns: drain until `bytes` arrived.
    Drained drainAtLeast(size_t bytes) {
        Drained total{0, {}, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            const Drained part = drain();
            total.status = part.status;
            total.records.insert(total.records.end(), part.records.begin(), part.records.end());
            total.tags += part.tags;
        } while (total.records.size() < bytes && std::chrono::steady_clock::now() < deadline);
        return total;
    }
    // Pushes reports as the reader would and waits until the callback has seen them all.
    void push(const std::vector<Bytes> &frames) {
        const size_t before = app_.count(2);
        for (const Bytes &frame : frames) reader_->sendRaw(frame);
        ASSERT_TRUE(app_.waitForCount(2, -1, before + frames.size()));
    }
    // Reports are handled in order and each is stored before the next one's callback runs,
    // so once an empty report has been called back, every earlier report is stored.
    void settle() { push({reportFrame(kSerial, {})}); }
};

TEST_F(ActiveMode, ReportReachesTheCallbackWithCountRecordsLengthAndSerial) {
    const Bytes a = record(0xA1, 14), b = record(0xB2, 14);
    push({reportFrame(kSerial, {a, b})});
    const auto event = app_.events().back();
    EXPECT_EQ(event.value, 2);
    EXPECT_EQ(event.length, int32_t(a.size() + b.size() + 12));
    Bytes expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(Bytes(event.data.begin(), event.data.begin() + long(expected.size())), expected);
    // What lies past the records is never bytes of another frame.
    EXPECT_TRUE(std::all_of(event.data.begin() + long(expected.size()), event.data.end(),
                            [](uint8_t x) { return x == 0; }));
    EXPECT_EQ(event.serial, kSerial);
}

TEST_F(ActiveMode, TwoReportsBetweenDrainsComeBackToBack) {
    const Bytes a = record(0x01, 5), b = record(0x02, 6), c = record(0x03, 7);
    const Bytes d = record(0x04, 8), e = record(0x05, 9);
    push({reportFrame(kSerial, {a, b, c}), reportFrame(kSerial, {d, e})});
    Bytes expected;
    for (const Bytes *r : {&a, &b, &c, &d, &e}) expected.insert(expected.end(), r->begin(), r->end());
    const Drained drained = drainAtLeast(expected.size());
    EXPECT_EQ(drained.status, 2);
    EXPECT_EQ(drained.tags, 5);
    EXPECT_EQ(drained.records, expected);
    // Draining empties the buffer.
    EXPECT_TRUE(drain().records.empty());
}

TEST_F(ActiveMode, EmptyAndTruncatedReportsStoreNothing) {
    push({reportFrame(kSerial, {})});
    EXPECT_EQ(app_.events().back().length, 12);
    EXPECT_EQ(app_.events().back().value, 0);
    // A report too short to name its reader: dropped without harm.
    reader_->sendRaw(responseFrame(0x45, {1, 2, 3}));
    push({reportFrame(kSerial, {record(0x09, 3)})});
    const Drained drained = drainAtLeast(4);
    EXPECT_EQ(drained.records, record(0x09, 3));
    EXPECT_EQ(drained.tags, 1);
}

TEST_F(ActiveMode, FullBufferStillCallsBackButStoresNoMore) {
    const Bytes big = record(0x6B, 1399);  // 1400 bytes per report
    std::vector<Bytes> frames(36, reportFrame(kSerial, {big}));
    push(frames);
    const Drained drained = drainAtLeast(34u * 1400u);
    EXPECT_EQ(drained.records.size(), 34u * 1400u);  // stored while below 47104 bytes
    EXPECT_EQ(drained.tags, 34);
}

TEST_F(ActiveMode, StatusFallsBackToOneAfterTheLinkWasLost) {
    push({reportFrame(kSerial, {record(0x01, 4)})});
    EXPECT_EQ(drainAtLeast(5).status, 2);
    reader_->unplug();
    ASSERT_TRUE(app_.waitForCount(1, 0, 1));
    reader_->replug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1));
    EXPECT_EQ(drain().status, 1);
    push({reportFrame(kSerial, {record(0x01, 4)})});
    EXPECT_EQ(drainAtLeast(5).status, 2);
}

TEST_F(ActiveMode, AReportNeverAnswersAWaitingCommand) {
    const Bytes report = reportFrame(kSerial, {record(0x01, 4)});
    // Captured by value: the reader runs these on its own thread.
    reader_->setAnswerOverride([report](const Bytes &request) -> std::optional<Bytes> {
        if (request[5] != 0x2D) return std::nullopt;
        return report;  // a report instead of the answer
    });
    uint8_t state = 0xCC;
    EXPECT_EQ(QnCom_ReadTransState(0xFF, &state), 0);
    EXPECT_EQ(state, 0xCC);

    reader_->setAnswerOverride([report](const Bytes &request) -> std::optional<Bytes> {
        if (request[5] != 0x2D) return std::nullopt;
        Bytes both = report;  // a report, then the answer, in one write
        const Bytes answer = responseFrame(0x2D, {0x01});
        both.insert(both.end(), answer.begin(), answer.end());
        return both;
    });
    EXPECT_EQ(QnCom_ReadTransState(0xFF, &state), 1);
    EXPECT_EQ(state, 0x01);
}

TEST_F(ActiveMode, StartReadMakesTheReaderPushUntilStopRead) {
    ASSERT_EQ(QnCom_StartRead(0xFF), 1);
    ASSERT_TRUE(app_.waitForCount(2, -1, 3));
    ASSERT_EQ(QnCom_StopRead(0xFF), 1);
    const Drained drained = drainAtLeast(1);
    EXPECT_EQ(drained.status, 2);
    EXPECT_GT(drained.tags, 0);
    uint8_t info[10] = {};
    ASSERT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(app_.events().back().serial, Bytes(info + 2, info + 9));
}

TEST_F(ActiveMode, ClearingEmptiesTheBuffer) {
    push({reportFrame(kSerial, {record(0x01, 4)})});
    settle();
    ASSERT_EQ(QnCom_ClearTagBuf(), 1);
    const Drained drained = drain();
    EXPECT_TRUE(drained.records.empty());
    EXPECT_EQ(drained.tags, 0);
}

}  // namespace
}  // namespace serialtest
