// Active-mode reports of every reader library: the application callback, and for the
// libraries that keep one the tag buffer and its status byte.
#include <algorithm>

#include "reader_fixture.h"

namespace readertest {
namespace {

const Bytes kSerial{0xD2, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};

Bytes record(uint8_t fill, size_t bodyBytes) {
    Bytes bytes(bodyBytes + 1, fill);
    bytes[0] = static_cast<uint8_t>(bodyBytes);
    return bytes;
}

template <class Library>
class ActiveReports : public ReaderTest<Library> {
  protected:
    void SetUp() override {
        ReaderTest<Library>::SetUp();
        if (this->HasFatalFailure()) return;
        this->app_.setKeepBytes(4096);
        this->qn.SetCallback(testsupport::CallbackRecorder::appCallback);
    }
    struct Drained {
        uint8_t status;
        Bytes records;
        int32_t tags;
    };
    Drained drain() {
        Bytes buffer(48548, 0);
        int32_t bytes = -1, tags = -1;
        const uint8_t status = this->qn.GetTagBuf(buffer.data(), &bytes, &tags);
        buffer.resize(size_t(std::max(bytes, 0)));
        return {status, buffer, tags};
    }
    // Reports are stored just after their callback returns: drain until `bytes` arrived.
    Drained drainAtLeast(size_t bytes) {
        Drained total{0, {}, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            const Drained part = this->drain();
            total.status = part.status;
            total.records.insert(total.records.end(), part.records.begin(), part.records.end());
            total.tags += part.tags;
        } while (total.records.size() < bytes && std::chrono::steady_clock::now() < deadline);
        return total;
    }
    // Pushes reports as the reader would and waits until the callback has seen them all.
    void push(const std::vector<Bytes> &frames) {
        const size_t before = this->app_.count(2);
        for (const Bytes &frame : frames) this->reader_->sendRaw(frame);
        ASSERT_TRUE(this->app_.waitForCount(2, -1, before + frames.size()));
    }
    // Reports are handled in order and each is stored before the next one's callback runs,
    // so once an empty report has been called back, every earlier report is stored.
    void settle() { this->push({reportFrame(kSerial, {})}); }
};
TYPED_TEST_SUITE(ActiveReports, AllLibraries, LibraryName);

// The same, for the libraries with a tag buffer; it starts out drained.
template <class Library>
class TagBuffer : public ActiveReports<Library> {
  protected:
    void SetUp() override {
        ActiveReports<Library>::SetUp();
        this->drain();
    }
};
TYPED_TEST_SUITE(TagBuffer, TagBufferLibraries, LibraryName);

TYPED_TEST(ActiveReports, ReportReachesTheCallbackWithCountRecordsLengthAndSerial) {
    const Bytes a = record(0xA1, 14), b = record(0xB2, 14);
    this->push({reportFrame(kSerial, {a, b})});
    const auto event = this->app_.events().back();
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

TYPED_TEST(TagBuffer, TwoReportsBetweenDrainsComeBackToBack) {
    const Bytes a = record(0x01, 5), b = record(0x02, 6), c = record(0x03, 7);
    const Bytes d = record(0x04, 8), e = record(0x05, 9);
    this->push({reportFrame(kSerial, {a, b, c}), reportFrame(kSerial, {d, e})});
    Bytes expected;
    for (const Bytes *r : {&a, &b, &c, &d, &e})
        expected.insert(expected.end(), r->begin(), r->end());
    const auto drained = this->drainAtLeast(expected.size());
    EXPECT_EQ(drained.status, 2);
    EXPECT_EQ(drained.tags, 5);
    EXPECT_EQ(drained.records, expected);
    // Draining empties the buffer.
    EXPECT_TRUE(this->drain().records.empty());
}

TYPED_TEST(TagBuffer, EmptyAndTruncatedReportsStoreNothing) {
    this->push({reportFrame(kSerial, {})});
    EXPECT_EQ(this->app_.events().back().length, 12);
    EXPECT_EQ(this->app_.events().back().value, 0);
    // A report too short to name its reader: dropped without harm.
    this->reader_->sendRaw(responseFrame(0x45, {1, 2, 3}));
    this->push({reportFrame(kSerial, {record(0x09, 3)})});
    const auto drained = this->drainAtLeast(4);
    EXPECT_EQ(drained.records, record(0x09, 3));
    EXPECT_EQ(drained.tags, 1);
}

TYPED_TEST(TagBuffer, FullBufferStillCallsBackButStoresNoMore) {
    const Bytes big = record(0x6B, 1399);  // 1400 bytes per report
    std::vector<Bytes> frames(36, reportFrame(kSerial, {big}));
    this->push(frames);
    const auto drained = this->drainAtLeast(34u * 1400u);
    EXPECT_EQ(drained.records.size(), 34u * 1400u);  // stored while below 47104 bytes
    EXPECT_EQ(drained.tags, 34);
}

TYPED_TEST(TagBuffer, StatusFallsBackToOneAfterTheLinkWasLost) {
    this->push({reportFrame(kSerial, {record(0x01, 4)})});
    EXPECT_EQ(this->drainAtLeast(5).status, 2);
    this->reader_->unplug();
    ASSERT_TRUE(this->app_.waitForCount(1, 0, 1));
    this->reader_->replug();
    ASSERT_TRUE(this->app_.waitForCount(0, 0, 1));
    EXPECT_EQ(this->drain().status, 1);
    this->push({reportFrame(kSerial, {record(0x01, 4)})});
    EXPECT_EQ(this->drainAtLeast(5).status, 2);
}

TYPED_TEST(ActiveReports, AReportNeverAnswersAWaitingCommand) {
    const Bytes report = reportFrame(kSerial, {record(0x01, 4)});
    // Captured by value: the reader runs these on its own thread.
    this->reader_->setAnswerOverride([report](const Bytes &request) -> std::optional<Bytes> {
        if (request[5] != 0x2D) return std::nullopt;
        return report;  // a report instead of the answer
    });
    uint8_t state = 0xCC;
    EXPECT_EQ(this->qn.ReadTransState(0xFF, &state), 0);
    EXPECT_EQ(state, 0xCC);

    this->reader_->setAnswerOverride([report](const Bytes &request) -> std::optional<Bytes> {
        if (request[5] != 0x2D) return std::nullopt;
        Bytes both = report;  // a report, then the answer, in one write
        const Bytes answer = responseFrame(0x2D, {0x01});
        both.insert(both.end(), answer.begin(), answer.end());
        return both;
    });
    EXPECT_EQ(this->qn.ReadTransState(0xFF, &state), 1);
    EXPECT_EQ(state, 0x01);
}

TYPED_TEST(TagBuffer, StartReadMakesTheReaderPushUntilStopRead) {
    ASSERT_EQ(this->qn.StartRead(0xFF), 1);
    ASSERT_TRUE(this->app_.waitForCount(2, -1, 3));
    ASSERT_EQ(this->qn.StopRead(0xFF), 1);
    const auto drained = this->drainAtLeast(1);
    EXPECT_EQ(drained.status, 2);
    EXPECT_GT(drained.tags, 0);
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(this->app_.events().back().serial, Bytes(info + 2, info + 9));
}

TYPED_TEST(TagBuffer, ClearingEmptiesTheBuffer) {
    this->push({reportFrame(kSerial, {record(0x01, 4)})});
    this->settle();
    ASSERT_EQ(this->qn.ClearTagBuf(), 1);
    const auto drained = this->drain();
    EXPECT_TRUE(drained.records.empty());
    EXPECT_EQ(drained.tags, 0);
}

TYPED_TEST(ActiveReports, StartReadSendsWellFormedReportsUntilStopRead) {
    ASSERT_EQ(this->qn.StartRead(0xFF), 1);
    ASSERT_TRUE(this->app_.waitForCount(2, -1, 3));
    ASSERT_EQ(this->qn.StopRead(0xFF), 1);
    for (const auto &event : this->app_.events()) {
        if (event.event != 2) continue;
        ASSERT_GE(event.length, 12);
        size_t offset = 0;  // records: length byte n, then n bytes
        for (int32_t i = 0; i < event.value; ++i) offset += 1 + event.data.at(offset);
        EXPECT_EQ(offset, size_t(event.length) - 12);
    }
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
}

TYPED_TEST(ActiveReports, EveryPushedReportReachesTheCallback) {
    this->reader_->startActive(std::chrono::milliseconds(2), 3);
    ASSERT_TRUE(this->app_.waitForCount(2, -1, 50));
    this->reader_->stopActive();  // returns with the reader's count final
    const uint64_t sent = this->reader_->reportsSent();
    EXPECT_TRUE(this->app_.waitForCount(2, -1, sent, std::chrono::seconds(30)));
    EXPECT_EQ(this->app_.count(2), sent);
}

}  // namespace
}  // namespace readertest
