// The link of every reader library: waiting and answer matching, split and merged answers,
// losing the link, reopening it, and closing from a callback.
#include <atomic>
#include <cstring>
#include <thread>

#include "reader_fixture.h"

namespace readertest {
namespace {

using namespace std::chrono_literals;

template <class Library>
using LinkTest = ReaderTest<Library>;
TYPED_TEST_SUITE(LinkTest, AllLibraries, LibraryName);

TYPED_TEST(LinkTest, LateAnswerFailsTheCommandAndTheNextGetsItsOwn) {
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    readersim::Faults slow;
    slow.answerDelay = 2 * this->answerWait(qn::Command::GetDeviceSystemInfo);
    this->reader_->setFaults(slow);
    uint8_t info[10];
    std::memset(info, 0xAB, sizeof info);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);
    EXPECT_EQ(info[0], 0xAB) << "a failed command leaves the buffer alone";
    ASSERT_TRUE(this->traffic_.waitForCount(2, 0, 1)) << "the late answer arrives after all";
    this->waitForEarlierFramesDelivered();

    this->reader_->setFaults({});
    this->answerOnce(0x2B, {26, 12, 8, 1, 2, 3});
    uint8_t clock[6] = {};
    ASSERT_EQ(this->qn.ReadDeviceTime(0xFF, clock), 1);
    EXPECT_EQ(clock[5], 3);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
}

TYPED_TEST(LinkTest, CommandWithALongerWaitOutlastsTheSameDelay) {
    readersim::Faults slow;
    slow.answerDelay = 2 * this->answerWait(qn::Command::GetDeviceSystemInfo);
    ASSERT_GT(this->answerWait(qn::Command::GetGPS), slow.answerDelay);
    this->reader_->setFaults(slow);
    Bytes position(1024);
    EXPECT_EQ(this->qn.GetGPS(0xFF, position.data()), 1);
}

TYPED_TEST(LinkTest, EachCommandRightAfterAnotherGetsItsOwnAnswer) {
    // The reader answers a one-parameter read with a value derived from the index asked.
    this->reader_->setAnswerOverride([](const Bytes &request) -> std::optional<Bytes> {
        if (request.size() < 8 || request[5] != 0x23) return std::nullopt;
        const uint8_t index = request[6];
        return responseFrame(0x23, {index, static_cast<uint8_t>(index ^ 0x5A)});
    });
    for (int index = 0; index < 64; ++index) {
        uint8_t value = 0;
        ASSERT_EQ(this->qn.ReadDeviceOneParam(0xFF, static_cast<uint8_t>(index), &value), 1);
        EXPECT_EQ(value, index ^ 0x5A);
        uint8_t info[10] = {};
        ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    }
}

TYPED_TEST(LinkTest, AnswerThatCameUnaskedIsNotTakenForTheNextCommand) {
    const Bytes stale(10, 0xEE);
    this->reader_->sendRaw(responseFrame(0x10, stale));
    this->waitForEarlierFramesDelivered();
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_NE(Bytes(info, info + 10), stale);
}

// Frames that reach the library in pieces (one input report each over USB). An answer must be
// whole within its command's wait, which a loaded host stretches past the fixed waits of the
// one-reader libraries when the reader paces many pieces; so the answer here comes in two
// pieces and the frame of many 3-byte pieces is a report, which no deadline limits.
TYPED_TEST(LinkTest, AnswersWrittenInPiecesAreReassembled) {
    readersim::Faults faults;
    faults.splitChunk = 9;
    this->reader_->setFaults(faults);
    uint8_t info[10] = {};
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    std::array<uint8_t, 7> serial{};
    this->reader_->withModel([&](readersim::ReaderModel &model) { serial = model.serial; });
    EXPECT_TRUE(std::equal(serial.begin(), serial.end(), info + 2));
    this->reader_->setFaults({});

    this->app_.setKeepBytes(64);
    this->qn.SetCallback(testsupport::CallbackRecorder::appCallback);
    const Bytes first{12, 0x30, 0x00, 0xE2, 0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const Bytes second{4, 0xAA, 0xBB, 0xCC, 0xDD};
    const Bytes report = reportFrame({1, 2, 3, 4, 5, 6, 7}, {first, second});
    for (size_t at = 0; at < report.size(); at += 3) {
        this->reader_->sendRaw(Bytes(report.begin() + long(at),
                                     report.begin() + long(std::min(at + 3, report.size()))));
    }
    ASSERT_TRUE(this->app_.waitForCount(2, 2, 1, std::chrono::seconds(30)));
    const testsupport::CallbackEvent event = this->app_.events().back();
    Bytes records = first;
    records.insert(records.end(), second.begin(), second.end());
    ASSERT_GE(event.data.size(), records.size());
    EXPECT_TRUE(std::equal(records.begin(), records.end(), event.data.begin()));
}

TYPED_TEST(LinkTest, TwoAnswersInOneWriteAreBothTaken) {
    readersim::Faults faults;
    faults.mergeFrames = true;  // the first answer is held back and goes out with the next
    this->reader_->setFaults(faults);
    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);
    this->reader_->setFaults({});
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    ASSERT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    ASSERT_TRUE(this->traffic_.waitForCount(2, 0, 2)) << "both answers of the write";
    this->waitForEarlierFramesDelivered();
    uint8_t value = 0;
    EXPECT_EQ(this->qn.ReadDeviceOneParam(0xFF, 3, &value), 1);
}

TYPED_TEST(LinkTest, LostLinkIsReportedUntilItReopensThenRestoredOnce) {
    this->qn.SetCallback(testsupport::CallbackRecorder::appCallback);
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    this->reader_->unplug();
    ASSERT_TRUE(this->app_.waitForCount(1, 0, 3));  // repeated every monitor period
    ASSERT_TRUE(this->traffic_.waitForCount(1, 0, 3));
    EXPECT_EQ(this->app_.count(0, 0), 0u);
    this->reader_->replug();
    ASSERT_TRUE(this->app_.waitForCount(0, 0, 1));
    ASSERT_TRUE(this->traffic_.waitForCount(0, 0, 1));

    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(this->app_.count(0, 0), 1u);

    // Lost events arrive about a monitor period apart, never in a burst.
    const auto events = this->app_.events();
    for (size_t i = 1; i < events.size(); ++i) {
        if (events[i].event == 1 && events[i - 1].event == 1) {
            EXPECT_GE(events[i].when - events[i - 1].when, std::chrono::milliseconds(150));
        }
    }
}

TYPED_TEST(LinkTest, ReaderThatComesBackByItselfIsReconnected) {
    this->qn.SetCallback(testsupport::CallbackRecorder::appCallback);
    this->reader_->dropFor(1s);
    ASSERT_TRUE(this->app_.waitForCount(1, 0, 1));
    ASSERT_TRUE(this->app_.waitForCount(0, 0, 1));
    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
}

TYPED_TEST(LinkTest, WithoutCallbacksALostLinkStaysLostUntilReopenedByHand) {
    this->reader_->unplug();
    this->reader_->replug();
    uint8_t info[10] = {};
    // The old connection belongs to the unplugged reader; nothing reopens it.
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // three monitor periods
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);
    this->qn.CloseDevice();
    ASSERT_EQ(this->reopen(), 1);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
}

TYPED_TEST(LinkTest, CloseEndsTheConnectionAndOpenMakesItAgain) {
    this->qn.CloseDevice();
    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);
    ASSERT_EQ(this->reopen(), 1);
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
}

std::atomic<int> g_closedFromCallback{0};
void (*g_closeDevice)() = nullptr;

void closeOnLinkLost(int32_t event, int32_t, const uint8_t *, int32_t, const uint8_t *) {
    if (event != 1) return;
    g_closeDevice();
    ++g_closedFromCallback;
}

// True once closeOnLinkLost has closed the connection (within a generous deadline).
bool closedFromCallback() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_closedFromCallback.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    return g_closedFromCallback.load() == 1;
}

TYPED_TEST(LinkTest, ClosingFromACallbackDoesNotDeadlock) {
    g_closedFromCallback = 0;
    g_closeDevice = this->qn.CloseDevice;
    this->qn.SetCallback(closeOnLinkLost);
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    this->reader_->unplug();
    ASSERT_TRUE(closedFromCallback());
    this->reader_->replug();
    this->qn.SetCallback(nullptr);
    // The library is usable again afterwards.
    ASSERT_EQ(this->reopen(), 1);
    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 1);
}

TYPED_TEST(LinkTest, OpeningRightAfterACloseFromACallbackKeepsWatchingTheLink) {
    g_closedFromCallback = 0;
    g_closeDevice = this->qn.CloseDevice;
    this->qn.SetCallback(closeOnLinkLost);
    this->reader_->unplug();
    ASSERT_TRUE(closedFromCallback());
    this->reader_->replug();
    // At once, while the closing monitor thread may still be on its way out.
    this->qn.SetCallback(testsupport::CallbackRecorder::appCallback);
    ASSERT_EQ(this->reopen(), 1);
    this->reader_->unplug();
    EXPECT_TRUE(this->app_.waitForCount(1, 0, 1));
}

}  // namespace
}  // namespace readertest
