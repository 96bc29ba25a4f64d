// --metrics [ADDRESS:]PORT: /metrics in the Prometheus text exposition format and /healthz
// (200 while every output is connected or delivering, 503 with a one-line reason otherwise),
// served over plain HTTP by a thread of its own. Loopback unless an address is given.
#pragma once

#include <memory>
#include <string>

#include "hub.h"

namespace gateway {

// The exposition text of the gateway's counters now.
std::string metricsText(Hub &hub, Store &store);

class MetricsServer {
  public:
    MetricsServer(Hub &hub, Store &store);
    ~MetricsServer();
    MetricsServer(const MetricsServer &) = delete;
    MetricsServer &operator=(const MetricsServer &) = delete;

    // Binds "[ADDRESS:]PORT" (127.0.0.1 without an address) and starts serving; false with
    // the reason in `error`.
    bool start(const std::string &where, std::string &error);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace gateway
