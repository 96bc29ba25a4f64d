// Arbitrary input reports from a USB-HID bridge, of any length and payload count, through the
// transport into buffers of exactly the documented 31 bytes, then reassembled into frames as
// the link does. A payload never exceeds its report or the count it names, a report that does
// not fit waits whole, and the frames rebuilt from the payloads check out.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <optional>
#include <vector>

#include "frame.h"
#include "hid_transport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace qn::hid;

// A bridge whose report lengths and input reports come from the fuzz input; each report it
// hands over is kept so the payload taken from it can be checked.
class FuzzedDevice final : public HidDevice {
  public:
    FuzzedDevice(FuzzedDataProvider &input, std::optional<Bytes> &lastReport)
        : input_(input), lastReport_(lastReport) {}

    ReportLengths capabilities() override {
        return {input_.ConsumeIntegralInRange<size_t>(0, kMaxReportLength + 2),
                input_.ConsumeIntegralInRange<size_t>(0, kMaxReportLength + 2)};
    }

    bool writeReport(std::span<const uint8_t> report) override {
        assert(report.size() >= kReportLength && report.size() <= kMaxReportLength);
        assert(report[0] == 0);
        return true;
    }

    qn::ReadResult readReport(std::span<uint8_t> report, std::chrono::milliseconds) override {
        assert(report.size() >= kReportLength && report.size() <= kMaxReportLength);
        if (input_.remaining_bytes() == 0) return {qn::ReadStatus::Lost, 0};
        if (input_.ConsumeProbability<float>() < 0.05f) return {qn::ReadStatus::Timeout, 0};
        const size_t size = input_.ConsumeIntegralInRange<size_t>(0, report.size());
        Bytes bytes = input_.ConsumeBytes<uint8_t>(size);
        bytes.resize(size);
        std::copy(bytes.begin(), bytes.end(), report.begin());
        lastReport_ = std::move(bytes);
        return {qn::ReadStatus::Data, size};
    }

  private:
    FuzzedDataProvider &input_;
    std::optional<Bytes> &lastReport_;
};

class OneDeviceBus final : public HidBus {
  public:
    OneDeviceBus(FuzzedDataProvider &input, std::optional<Bytes> &lastReport)
        : input_(input), lastReport_(lastReport) {}
    std::vector<std::string> enumerate(size_t, const std::string &) override { return {"fuzz"}; }
    std::unique_ptr<HidDevice> open(const std::string &) override {
        return std::make_unique<FuzzedDevice>(input_, lastReport_);
    }

  private:
    FuzzedDataProvider &input_;
    std::optional<Bytes> &lastReport_;
};

class NoDeviceBus final : public HidBus {
  public:
    std::vector<std::string> enumerate(size_t, const std::string &) override { return {}; }
    std::unique_ptr<HidDevice> open(const std::string &) override { return nullptr; }
};

// The payload a report carries: its count, bounded by the bytes present and 31.
Bytes payloadOf(const Bytes &report) {
    if (report.size() <= kReportHeaderSize) return {};
    const size_t count =
        std::min({size_t{report[1]}, report.size() - kReportHeaderSize, kMaxPayload});
    return {report.begin() + kReportHeaderSize, report.begin() + kReportHeaderSize + count};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::optional<Bytes> lastReport;
    OneDeviceBus bridges(input, lastReport);
    NoDeviceBus simulated;
    HidTransport transport(bridges, simulated);
    assert(transport.enumerate() == 1);
    transport.setTarget(0);
    if (!transport.open()) return 0;

    const qn::TransportProfile &profile = transport.profile();
    qn::PendingInput pending(profile.pendingCapacity);
    qn::ReceiveParser parser;
    while (input.remaining_bytes()) {
        // A caller's buffer of exactly the size it was promised to need, or one too small.
        const size_t bufferSize = input.ConsumeBool()
                                      ? kMaxPayload
                                      : input.ConsumeIntegralInRange<size_t>(0, kMaxPayload);
        Bytes buffer(bufferSize);
        lastReport.reset();
        const qn::ReadResult result = transport.read(buffer, std::chrono::milliseconds(0));
        if (result.status == qn::ReadStatus::Lost) break;
        if (bufferSize < kMaxPayload) {
            assert(result.status == qn::ReadStatus::Timeout && !lastReport);
            continue;
        }
        if (result.status == qn::ReadStatus::Timeout) {
            assert(result.bytes == 0);
            continue;
        }
        const Bytes expected = payloadOf(*lastReport);
        assert(result.bytes == expected.size());
        assert(std::equal(expected.begin(), expected.end(), buffer.begin()));

        // Reassembly as the link's receive side does it, one payload per read.
        const size_t taken = std::min(result.bytes, pending.room());
        std::memcpy(pending.writePosition(), buffer.data(), taken);
        pending.commit(taken);
        while (pending.pass(parser)) {
            assert(parser.count() <= qn::kMaxLengthField + 3);
            assert(qn::checksum({parser.frame(), size_t(parser.count())}) ==
                   parser.frame()[parser.count()]);
            parser.clearFrameReady();
        }
    }
    transport.close();
    return 0;
}
