// HTTP output (libcurl): tag messages POSTed as JSON arrays in batches of up to `batch`
// messages, a batch leaving when it is full or its oldest message has waited `linger`. A
// message leaves the store only on a 2xx answer; a failed POST (no connection, another
// status) is tried again with back-off, and nothing behind it goes first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "batcher.h"
#include "output.h"

namespace gateway {

struct HttpSettings {
    std::string url;
    std::size_t batch = 100;
    std::chrono::milliseconds linger{200};
    std::string bearerToken;   // empty: none
    std::string userPassword;  // USER:PASSWORD for basic authentication; empty: none
};

class HttpOutput : public Output {
  public:
    HttpOutput(HttpSettings settings, Store &store);
    ~HttpOutput() override;
    HttpOutput(const HttpOutput &) = delete;
    HttpOutput &operator=(const HttpOutput &) = delete;

    void wake() override;
    void finish(std::chrono::steady_clock::time_point deadline) override;
    OutputHealth health() const override;
    std::uint64_t published() const override { return published_; }
    std::string name() const override { return "http"; }
    OutputBit bit() const override { return OutputBit::Http; }

  private:
    using Steady = std::chrono::steady_clock;

    void sendLoop();
    // Under mutex_: tops the batcher up from the store.
    void refill();
    // Posts until the endpoint takes the batch; false when stopped first.
    bool deliver(const std::string &body, std::unique_lock<std::mutex> &lock);

    HttpSettings settings_;
    Store &store_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Batcher batcher_;
    std::uint64_t cursor_ = 0;
    bool fresh_ = true;
    std::size_t sending_ = 0;  // messages of the batch being posted
    bool flushing_ = false;    // shutting down: no lingering
    bool stopping_ = false;
    std::string failure_;  // the last failed POST's reason while it fails
    Steady::time_point deadline_ = Steady::time_point::max();
    std::atomic<std::uint64_t> published_{0};
    std::thread sender_;
};

}  // namespace gateway
