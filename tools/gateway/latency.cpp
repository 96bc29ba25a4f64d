#include "latency.h"

#include <algorithm>
#include <cstdio>

namespace gateway {

void LatencyHistogram::observe(Clock::time_point received, Clock::time_point delivered) {
    const auto micros = std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::microseconds>(delivered - received).count());
    const double seconds = double(micros) / 1e6;
    const auto bucket = std::lower_bound(kBounds.begin(), kBounds.end(), seconds) - kBounds.begin();
    ++counts_[std::size_t(bucket)];
    sumMicroseconds_ += std::uint64_t(micros);
}

std::string LatencyHistogram::exposition(const std::string &name, const std::string &labels) const {
    std::string text;
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i <= kBounds.size(); ++i) {
        cumulative += counts_[i];
        char bound[32] = "+Inf";
        if (i < kBounds.size()) std::snprintf(bound, sizeof bound, "%g", kBounds[i]);
        text += name + "_bucket{" + labels + ",le=\"" + bound + "\"} " +
                std::to_string(cumulative) + "\n";
    }
    char sum[64];
    std::snprintf(sum, sizeof sum, "%.6f", double(sumMicroseconds_) / 1e6);
    text += name + "_sum{" + labels + "} " + sum + "\n";
    text += name + "_count{" + labels + "} " + std::to_string(cumulative) + "\n";
    return text;
}

}  // namespace gateway
