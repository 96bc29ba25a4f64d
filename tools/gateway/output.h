// One destination of the tag messages (MQTT, HTTP, stdout). Each takes the messages from the
// store in its own thread, at its own pace, and tells the store which it delivered; the hub
// only wakes it. Safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "latency.h"
#include "message.h"
#include "store.h"

namespace gateway {

// What an output says about itself for /metrics and /healthz.
struct OutputHealth {
    bool healthy = true;  // connected, or still within its retry
    std::string reason;   // why not, when not
};

class Output {
  public:
    virtual ~Output() = default;

    // The store has new messages.
    virtual void wake() = 0;
    // Reader statuses and statistics exist on MQTT only. `stats` holds the gateway's counts;
    // the output adds its own (published, dropped, queued).
    virtual void readerStatus(const std::string & /*reader*/, const std::string & /*json*/) {}
    virtual void stats(Stats /*stats*/) {}
    // Delivers what it can until `deadline` without waiting for batches to fill, then stops
    // for good; what is left stays in the store.
    virtual void finish(std::chrono::steady_clock::time_point deadline) = 0;
    // The output ended by itself (stdout closed) and takes nothing more.
    virtual bool ended() const { return false; }
    virtual OutputHealth health() const { return {}; }
    virtual std::uint64_t published() const = 0;
    // Messages whose delivery failed once (and was tried again).
    std::uint64_t failed() const { return failed_; }
    const LatencyHistogram &latency() const { return latency_; }
    virtual std::string name() const = 0;
    virtual OutputBit bit() const = 0;

  protected:
    void deliveredNow(const std::vector<StoredMessage> &messages) {
        const auto now = Clock::now();
        for (const StoredMessage &message : messages) latency_.observe(message.received, now);
    }
    std::atomic<std::uint64_t> failed_{0};

  private:
    LatencyHistogram latency_;
};

}  // namespace gateway
