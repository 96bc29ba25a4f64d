// The HID report tunnel: fixed 33-byte records both ways over a TCP stream. Host to
// device: output reports as the host library writes them (report id 0, payload count 1-31,
// payload, zero padding) and the bridge's configuration report. Device to host: input
// reports (report id 0, count 0-31, payload, zero padding).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace readersim {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kHidReportSize = 33;
inline constexpr size_t kHidPayloadMax = 31;

// Splits reader output into input reports of at most 31 payload bytes each.
Bytes encodeInputReports(std::span<const uint8_t> bytes);

// Collects host records and yields the payload bytes they carry.
class OutputReportDecoder {
  public:
    // Appends the payload of every record completed by `bytes` to `payload`.
    void feed(std::span<const uint8_t> bytes, Bytes &payload);
    void reset() { record_.clear(); }
    uint64_t configReports() const { return configReports_; }
    uint64_t invalidReports() const { return invalidReports_; }

  private:
    void finishRecord(Bytes &payload);

    Bytes record_;
    uint64_t configReports_ = 0;
    uint64_t invalidReports_ = 0;
};

bool isConfigurationReport(std::span<const uint8_t> record);

}  // namespace readersim
