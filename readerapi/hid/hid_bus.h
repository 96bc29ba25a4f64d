// How the USB-HID library reaches devices: a bus lists the paths of matching devices and
// opens one; an opened device moves whole reports. Real devices sit on the hidapi bus,
// simulated ones on the TCP tunnel bus.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "transport.h"

namespace qn::hid {

// The CH9326 bridge: report ID 0, payload count, 31 payload bytes.
inline constexpr uint16_t kVendorId = 0x1A86;
inline constexpr uint16_t kProductId = 0xE010;
inline constexpr size_t kReportLength = 33;
inline constexpr size_t kReportHeaderSize = 2;  // report ID, payload count
inline constexpr size_t kMaxPayload = kReportLength - kReportHeaderSize;
// Largest report a full-speed interrupt endpoint carries, plus the report ID.
inline constexpr size_t kMaxReportLength = 65;

struct ReportLengths {
    size_t input = 0;
    size_t output = 0;
};

class HidDevice {
  public:
    virtual ~HidDevice() = default;

    // The device's input and output report lengths, report ID included.
    virtual ReportLengths capabilities() = 0;
    // Writes one output report, report ID first; true when the device took all of it.
    virtual bool writeReport(std::span<const uint8_t> report) = 0;
    // Waits at most `wait` for one input report and stores it report ID first.
    // Data with the report's size, Timeout when none came, Lost when the device is gone.
    virtual ReadResult readReport(std::span<uint8_t> report, std::chrono::milliseconds wait) = 0;
    // A descriptor that turns readable when input arrives, or -1 (hidapi offers none).
    virtual int pollFd() const { return -1; }
};

class HidBus {
  public:
    virtual ~HidBus() = default;

    // Paths of the matching devices present now, at most `limit`. `livePath` is the device
    // this library has open (empty when none), which counts as present.
    virtual std::vector<std::string> enumerate(size_t limit, const std::string &livePath) = 0;
    // Null when the device cannot be opened.
    virtual std::unique_ptr<HidDevice> open(const std::string &path) = 0;
};

}  // namespace qn::hid
