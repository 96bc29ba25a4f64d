// Commands while the reader streams active-mode reports, on every reader library: no command
// fails, no report is lost, and an answer that came before its request is never taken for it.
#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "reader_fixture.h"

namespace readertest {
namespace {

using namespace std::chrono_literals;

constexpr auto kReportPeriod = 5ms;
constexpr uint8_t kParamIndex = 20;  // a device record byte that leaves the work mode alone
constexpr auto kDeadline = 30s;
constexpr size_t kReportsDuringCommands = 100;
constexpr int kMostCommands = 200000;

template <class Library>
class Streaming : public ReaderTest<Library> {
  protected:
    void SetUp() override {
        ReaderTest<Library>::SetUp();
        if (this->HasFatalFailure()) return;
        this->qn.SetCallback(testsupport::CallbackRecorder::appCallback);
        this->reader_->startActive(kReportPeriod, 1);
        ASSERT_TRUE(this->app_.waitForCount(QN_EVENT_DATA, -1, 1, kDeadline)) << "no stream";
    }

    // Ends the stream; every report the reader sent must reach the callback, once.
    void expectEveryReportArrived() {
        this->reader_->stopActive();
        const uint64_t sent = this->reader_->reportsSent();
        EXPECT_TRUE(this->app_.waitForCount(QN_EVENT_DATA, -1, sent, kDeadline));
        EXPECT_EQ(this->app_.count(QN_EVENT_DATA), sent) << "reports received of those sent";
    }
};
TYPED_TEST_SUITE(Streaming, AllLibraries, LibraryName);

// Identity, clock, one parameter and inventory in turn; each check proves the answer is the
// command's own (the value set just before, this reader's serial number, its field).
TYPED_TEST(Streaming, ThousandMixedCommandsAllSucceedAndNoReportIsLost) {
    std::array<uint8_t, 7> serial{};
    size_t fieldTags = 0;
    this->reader_->withModel([&](readersim::ReaderModel &model) {
        serial = model.serial;
        fieldTags = model.tags.size();
    });
    const auto clockFor = [](int round) {
        return std::array<uint8_t, 6>{26, 12, uint8_t(1 + round % 28), 10, 0, 0};
    };
    auto &qn = this->qn;
    int failed = 0;
    std::string firstFailure;
    // At least a thousand commands, and as many more as it takes for the stream to reach 100
    // reports meanwhile (a quick link runs the thousand in a fraction of a second).
    const auto streamed = [&] { return this->app_.count(QN_EVENT_DATA) >= kReportsDuringCommands; };
    for (int i = 0; i < 1000 || (!streamed() && i < kMostCommands); ++i) {
        const int round = i / 6;
        const auto start = std::chrono::steady_clock::now();
        bool ok = false;
        std::string what;
        switch (i % 6) {
            case 0: {
                uint8_t info[10] = {};
                ok = qn.GetDeviceSystemInfo(0xFF, info) &&
                     std::equal(serial.begin(), serial.end(), info + 2);
                what = "identity";
                break;
            }
            case 1:
                ok = qn.SetDeviceTime(0xFF, clockFor(round).data());
                what = "set time";
                break;
            case 2: {
                uint8_t clock[6] = {};
                // The seconds run on; the date and hour are what was set.
                ok = qn.ReadDeviceTime(0xFF, clock) &&
                     std::equal(clock, clock + 4, clockFor(round).begin());
                what = "read time";
                break;
            }
            case 3:
                ok = qn.SetDeviceOneParam(0xFF, kParamIndex, uint8_t(round));
                what = "set parameter";
                break;
            case 4: {
                uint8_t value = 0xFF;
                ok = qn.ReadDeviceOneParam(0xFF, kParamIndex, &value) && value == uint8_t(round);
                what = "read parameter";
                break;
            }
            default: {
                uint8_t records[1451];
                uint16_t bytes = 0, tags = 0;
                ok = qn.InventoryG2(0xFF, records, &bytes, &tags) && tags == fieldTags;
                what = "inventory";
            }
        }
        if (!ok && failed++ == 0) {
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            firstFailure = what + " at command " + std::to_string(i) + " after " +
                           std::to_string(took.count()) + " ms";
        }
    }
    EXPECT_EQ(failed, 0) << "first: " << firstFailure;
    EXPECT_TRUE(streamed());
    this->expectEveryReportArrived();
}

// An answer to no current request (unasked, or a timed-out command's late one) that is there
// before the next request is dropped; one that comes after the request is its first arrival
// and decides, as ever. The reports around them all arrive.
TYPED_TEST(Streaming, StaleAnswersAreDroppedAndTheFirstArrivalStillDecides) {
    this->traffic_.setKeepBytes(16);
    this->qn.SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    // Each one-parameter read gets a new value, so an old answer shows itself.
    auto served = std::make_shared<std::atomic<int>>(0);
    this->reader_->setAnswerOverride([served](const Bytes &request) -> std::optional<Bytes> {
        if (request.size() < 8 || request[5] != 0x23) return std::nullopt;
        return responseFrame(0x23, {request[6], uint8_t(++*served)});
    });
    auto &qn = this->qn;

    const auto received = [&](uint8_t value) {
        return this->traffic_.waitFor(
            [&](const std::vector<testsupport::CallbackEvent> &events) {
                return std::any_of(events.begin(), events.end(), [&](const auto &event) {
                    return event.event == QN_EVENT_DATA && event.value == 0 &&
                           event.data.size() > 8 && event.data[5] == 0x23 && event.data[8] == value;
                });
            },
            kDeadline);
    };

    // Unasked answers, each received before the next request goes out (a pseudo-terminal
    // passes written bytes on a moment later, so the test waits until the link shows it).
    for (int round = 0; round < 20; ++round) {
        this->traffic_.clear();
        this->reader_->sendRaw(responseFrame(0x23, {kParamIndex, 0xEE}));
        ASSERT_TRUE(received(0xEE)) << round;
        uint8_t value = 0;
        ASSERT_EQ(qn.ReadDeviceOneParam(0xFF, kParamIndex, &value), 1) << round;
        EXPECT_EQ(value, uint8_t(*served)) << round;
    }

    // A timed-out command's answer arrives late, before the next request.
    readersim::Faults late;
    late.answerDelay = 2 * this->answerWait(qn::Command::ReadDeviceOneParam) + 200ms;
    this->reader_->setFaults(late);
    const uint8_t lateValue = uint8_t(*served + 1);
    uint8_t value = 0;
    EXPECT_EQ(qn.ReadDeviceOneParam(0xFF, kParamIndex, &value), 0);
    ASSERT_TRUE(received(lateValue)) << "the late answer arrives";
    this->reader_->setFaults({});
    ASSERT_EQ(qn.ReadDeviceOneParam(0xFF, kParamIndex, &value), 1);
    EXPECT_EQ(value, uint8_t(*served)) << "its own answer, not the late one";

    // A held answer goes out in front of the next command's own, after its request.
    readersim::Faults merged;
    merged.mergeFrames = true;
    this->reader_->setFaults(merged);
    EXPECT_EQ(qn.ReadDeviceOneParam(0xFF, kParamIndex, &value), 0) << "held back";
    uint8_t info[10] = {};
    EXPECT_EQ(qn.GetDeviceSystemInfo(0xFF, info), 0) << "the held 0x23 answer came first";
    this->reader_->setFaults({});
    EXPECT_EQ(qn.GetDeviceSystemInfo(0xFF, info), 1);

    this->expectEveryReportArrived();
}

}  // namespace
}  // namespace readertest
