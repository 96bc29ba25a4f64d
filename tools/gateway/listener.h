// Readers that connect out: one TCP listener per --listen address. Each connection's byte
// stream is cut into frames by the protocol's receive parser; active-mode reports go to the
// hub, other frames are counted. A peer that sends 64 KiB without a valid frame, or no valid
// frame for a minute, is dropped. Memory per connection is one receive buffer and one parser.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hub.h"

namespace gateway {

class Listener {
  public:
    explicit Listener(Hub &hub);
    ~Listener();  // stops
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Binds and listens on "[ADDRESS:]PORT" (every interface without an address); false with
    // the reason in `error`. Call before start.
    bool listen(const std::string &where, std::string &error);
    void start();
    // Closes the listeners and every connection (their readers go offline) and waits.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace gateway
