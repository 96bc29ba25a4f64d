// HidTransport over a scripted device: report cutting, payload bounds of input reports,
// the input flush, the three read outcomes and the reopen position.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "hid_transport.h"

namespace qn::hid {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// What a scripted device saw and will deliver; shared with the test.
struct Script {
    std::vector<Bytes> written;
    std::deque<Bytes> input;  // reports to deliver, report ID first
    bool lost = false;
    bool refuseWrites = false;
};

class ScriptedDevice final : public HidDevice {
  public:
    explicit ScriptedDevice(std::shared_ptr<Script> script) : script_(std::move(script)) {}

    ReportLengths capabilities() override { return {kReportLength, kReportLength}; }

    bool writeReport(std::span<const uint8_t> report) override {
        if (script_->refuseWrites) return false;
        script_->written.emplace_back(report.begin(), report.end());
        return true;
    }

    ReadResult readReport(std::span<uint8_t> report, std::chrono::milliseconds) override {
        if (script_->lost) return {ReadStatus::Lost, 0};
        if (script_->input.empty()) return {ReadStatus::Timeout, 0};
        const Bytes next = script_->input.front();
        script_->input.pop_front();
        const size_t size = std::min(next.size(), report.size());
        std::copy(next.begin(), next.begin() + static_cast<ptrdiff_t>(size), report.begin());
        return {ReadStatus::Data, size};
    }

  private:
    std::shared_ptr<Script> script_;
};

// Devices by path; a path without a script is absent.
class ScriptedBus final : public HidBus {
  public:
    std::vector<std::string> enumerate(size_t limit, const std::string &) override {
        std::vector<std::string> paths;
        for (const auto &[path, script] : devices) {
            if (paths.size() < limit) paths.push_back(path);
        }
        return paths;
    }
    std::unique_ptr<HidDevice> open(const std::string &path) override {
        const auto found = devices.find(path);
        if (found == devices.end()) return nullptr;
        return std::make_unique<ScriptedDevice>(found->second);
    }

    std::map<std::string, std::shared_ptr<Script>> devices;
};

Bytes inputReport(uint8_t count, const Bytes &payload) {
    Bytes report(kReportLength, 0);
    report[1] = count;
    std::copy(payload.begin(), payload.end(), report.begin() + 2);
    return report;
}

class HidTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        first_ = std::make_shared<Script>();
        second_ = std::make_shared<Script>();
        real_.devices["/dev/hidraw0"] = first_;
        real_.devices["/dev/hidraw1"] = second_;
        ASSERT_EQ(transport_.enumerate(), 2);
    }

    ScriptedBus real_;
    ScriptedBus simulated_;
    HidTransport transport_{real_, simulated_};
    std::shared_ptr<Script> first_;
    std::shared_ptr<Script> second_;
};

TEST_F(HidTransportTest, OpensByPositionAndConfiguresTheBridge) {
    transport_.setTarget(2);
    EXPECT_FALSE(transport_.open());
    transport_.setTarget(1);
    ASSERT_TRUE(transport_.open());
    ASSERT_EQ(second_->written.size(), 1u);
    const Bytes &configuration = second_->written[0];
    ASSERT_EQ(configuration.size(), kReportLength);
    EXPECT_EQ(Bytes(configuration.begin(), configuration.begin() + 6),
              (Bytes{0x00, 0xFF, 0xC7, 0x83, 0xCC, 0x30}));
    EXPECT_TRUE(first_->written.empty());
}

TEST_F(HidTransportTest, ABridgeRefusingItsConfigurationIsNotOpened) {
    first_->refuseWrites = true;
    transport_.setTarget(0);
    EXPECT_FALSE(transport_.open());
    EXPECT_FALSE(transport_.isOpen());
}

TEST_F(HidTransportTest, FramesAreCutIntoReportsOfAtMost31Bytes) {
    transport_.setTarget(0);
    ASSERT_TRUE(transport_.open());
    first_->written.clear();
    Bytes frame(63);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(transport_.write(frame));
    ASSERT_EQ(first_->written.size(), 3u);
    const size_t counts[] = {31, 31, 1};
    Bytes carried;
    for (size_t i = 0; i < 3; ++i) {
        const Bytes &report = first_->written[i];
        ASSERT_EQ(report.size(), kReportLength);
        EXPECT_EQ(report[0], 0);
        EXPECT_EQ(report[1], counts[i]);
        carried.insert(carried.end(), report.begin() + 2, report.begin() + 2 + report[1]);
        EXPECT_TRUE(std::all_of(report.begin() + 2 + report[1], report.end(),
                                [](uint8_t b) { return b == 0; }));
    }
    EXPECT_EQ(carried, frame);
}

TEST_F(HidTransportTest, AFailedReportFailsTheFrame) {
    transport_.setTarget(0);
    ASSERT_TRUE(transport_.open());
    first_->refuseWrites = true;
    EXPECT_FALSE(transport_.write(Bytes(40, 0x11)));
    EXPECT_FALSE(transport_.writeReport(Bytes(5, 0x11)));
}

TEST_F(HidTransportTest, RawReportsTakeOneTo31Bytes) {
    transport_.setTarget(0);
    ASSERT_TRUE(transport_.open());
    first_->written.clear();
    EXPECT_FALSE(transport_.writeReport({}));
    EXPECT_FALSE(transport_.writeReport(Bytes(32, 1)));
    ASSERT_TRUE(transport_.writeReport(Bytes(31, 1)));
    ASSERT_EQ(first_->written.size(), 1u);
    EXPECT_EQ(first_->written[0][1], 31);
}

TEST_F(HidTransportTest, InputPayloadIsBoundedByTheReport) {
    transport_.setTarget(0);
    ASSERT_TRUE(transport_.open());
    first_->input.push_back(inputReport(3, {0xA, 0xB, 0xC}));
    first_->input.push_back(inputReport(0xFF, Bytes(31, 0x77)));  // count beyond the report
    first_->input.push_back(Bytes{0x00, 0x05, 0x01});             // shorter than it claims
    first_->input.push_back(inputReport(0, {}));
    uint8_t buffer[kMaxPayload] = {};

    ReadResult result = transport_.read(buffer, 5ms);
    ASSERT_EQ(result.status, ReadStatus::Data);
    EXPECT_EQ(Bytes(buffer, buffer + result.bytes), (Bytes{0xA, 0xB, 0xC}));
    result = transport_.read(buffer, 5ms);
    EXPECT_EQ(result.bytes, kMaxPayload);
    result = transport_.read(buffer, 5ms);
    EXPECT_EQ(result.bytes, 1u);
    result = transport_.read(buffer, 5ms);
    EXPECT_EQ(result.status, ReadStatus::Data);
    EXPECT_EQ(result.bytes, 0u);
    EXPECT_EQ(transport_.read(buffer, 5ms).status, ReadStatus::Timeout);
}

TEST_F(HidTransportTest, ABufferTooSmallForAReportLeavesItQueued) {
    transport_.setTarget(0);
    ASSERT_TRUE(transport_.open());
    first_->input.push_back(inputReport(3, {1, 2, 3}));
    uint8_t small[kMaxPayload - 1];
    EXPECT_EQ(transport_.read(small, 5ms).status, ReadStatus::Timeout);
    EXPECT_EQ(first_->input.size(), 1u);
}

TEST_F(HidTransportTest, ALostDeviceAndAClosedOneReadAsLost) {
    uint8_t buffer[kMaxPayload];
    EXPECT_EQ(transport_.read(buffer, 5ms).status, ReadStatus::Lost);
    transport_.setTarget(0);
    ASSERT_TRUE(transport_.open());
    first_->lost = true;
    EXPECT_EQ(transport_.read(buffer, 5ms).status, ReadStatus::Lost);
    transport_.close();
    EXPECT_FALSE(transport_.isOpen());
    EXPECT_FALSE(transport_.write(Bytes(7, 0)));
    EXPECT_FALSE(transport_.reloadCapabilities());
}

TEST_F(HidTransportTest, ReopenFallsBackToPositionZeroWhenFewerDevicesRemain) {
    transport_.setTarget(1);
    ASSERT_TRUE(transport_.open());
    transport_.close();
    real_.devices.erase("/dev/hidraw1");
    first_->written.clear();
    ASSERT_TRUE(transport_.reopen());
    EXPECT_EQ(first_->written.size(), 1u);  // configured the remaining device
    EXPECT_EQ(transport_.listedText(0), "/dev/hidraw0");
    EXPECT_FALSE(transport_.listedText(1));

    transport_.close();
    real_.devices.clear();
    EXPECT_FALSE(transport_.reopen());  // nothing present: wait for the next period
}

TEST_F(HidTransportTest, ReopenKeepsTheSavedPositionWhileItIsListed) {
    transport_.setTarget(1);
    ASSERT_TRUE(transport_.open());
    transport_.close();
    second_->written.clear();
    ASSERT_TRUE(transport_.reopen());
    EXPECT_EQ(second_->written.size(), 1u);
}

}  // namespace
}  // namespace qn::hid
