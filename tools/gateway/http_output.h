// HTTP output (libcurl): tag messages POSTed as JSON arrays in batches of up to `batch`
// messages, a batch leaving when it is full or its oldest message has waited `linger`. A
// failed POST (no connection, a status other than 2xx) is tried again with back-off, and
// nothing behind it goes first.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "message_queue.h"
#include "output.h"

namespace gateway {

struct HttpSettings {
    std::string url;
    std::size_t batch = 100;
    std::chrono::milliseconds linger{200};
    std::size_t queueLimit = 100000;
};

class HttpOutput : public Output {
  public:
    explicit HttpOutput(HttpSettings settings);
    ~HttpOutput() override;
    HttpOutput(const HttpOutput &) = delete;
    HttpOutput &operator=(const HttpOutput &) = delete;

    void send(TagMessage message) override;
    void finish(std::chrono::steady_clock::time_point deadline) override;

  private:
    using Steady = std::chrono::steady_clock;

    void sendLoop();
    bool batchReady() const;
    // Posts until the endpoint takes the batch; false when stopped first.
    bool deliver(const std::string &body, std::unique_lock<std::mutex> &lock);

    HttpSettings settings_;
    std::mutex mutex_;
    std::condition_variable changed_;
    MessageQueue queue_;
    std::size_t sending_ = 0;  // messages of the batch being posted
    bool flushing_ = false;    // shutting down: no lingering
    bool stopping_ = false;
    Steady::time_point deadline_ = Steady::time_point::max();
    std::thread sender_;
};

}  // namespace gateway
