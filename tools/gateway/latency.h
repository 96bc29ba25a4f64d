// Delivery latency (received → delivered) of one output as a Prometheus histogram: fixed
// buckets, counted without a lock. Safe from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "message.h"

namespace gateway {

class LatencyHistogram {
  public:
    static constexpr std::array<double, 13> kBounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5,
                                                       1,     2.5,  5,     10,   30,  60};

    void observe(Clock::time_point received, Clock::time_point delivered);
    // The histogram's lines, each with `labels` ("output=\"mqtt\"").
    std::string exposition(const std::string &name, const std::string &labels) const;

  private:
    std::array<std::atomic<std::uint64_t>, kBounds.size() + 1> counts_{};  // last: +Inf
    std::atomic<std::uint64_t> sumMicroseconds_{0};
};

}  // namespace gateway
