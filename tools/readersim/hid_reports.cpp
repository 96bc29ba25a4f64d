#include "hid_reports.h"

#include <algorithm>

namespace readersim {

namespace {
constexpr uint8_t kConfigurationPrefix[] = {0x00, 0xFF, 0xC7, 0x83, 0xCC, 0x30};
}

Bytes encodeInputReports(std::span<const uint8_t> bytes) {
    Bytes out;
    const size_t reports = (bytes.size() + kHidPayloadMax - 1) / kHidPayloadMax;
    out.reserve(reports * kHidReportSize);
    for (size_t offset = 0; offset < bytes.size(); offset += kHidPayloadMax) {
        const size_t count = std::min(kHidPayloadMax, bytes.size() - offset);
        const size_t start = out.size();
        out.resize(start + kHidReportSize, 0);
        out[start + 1] = static_cast<uint8_t>(count);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count,
                    out.begin() + static_cast<std::ptrdiff_t>(start + 2));
    }
    return out;
}

bool isConfigurationReport(std::span<const uint8_t> record) {
    if (record.size() != kHidReportSize) return false;
    const size_t prefix = sizeof kConfigurationPrefix;
    return std::equal(kConfigurationPrefix, kConfigurationPrefix + prefix, record.begin()) &&
           std::all_of(record.begin() + prefix, record.end(), [](uint8_t b) { return b == 0; });
}

void OutputReportDecoder::feed(std::span<const uint8_t> bytes, Bytes &payload) {
    for (uint8_t byte : bytes) {
        record_.push_back(byte);
        if (record_.size() == kHidReportSize) finishRecord(payload);
    }
}

void OutputReportDecoder::finishRecord(Bytes &payload) {
    const size_t count = record_[1];
    if (isConfigurationReport(record_)) {
        ++configReports_;
    } else if (record_[0] != 0 || count == 0 || count > kHidPayloadMax) {
        ++invalidReports_;  // not an output report the bridge would forward
    } else {
        payload.insert(payload.end(), record_.begin() + 2,
                       record_.begin() + 2 + static_cast<std::ptrdiff_t>(count));
    }
    record_.clear();
}

}  // namespace readersim
