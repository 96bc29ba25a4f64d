// A real Mosquitto broker for the tests: its own configuration file in a temporary folder,
// a free loopback port, started and stopped (and started again on the same port) at will.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "child_process.h"

namespace gatewaytest {

class Broker {
  public:
    // `extraConfig`: more lines of its configuration (a bridge, say); without `anonymous`
    // clients log in (a password_file line in `extraConfig`).
    explicit Broker(const std::string &extraConfig = {}, bool anonymous = true);
    ~Broker();

    // Starts the broker and waits until it takes connections; false when it did not.
    bool start();
    // Stops it (SIGTERM) and waits for its exit.
    void stop();
    std::uint16_t port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }

  private:
    std::filesystem::path folder_;
    std::uint16_t port_ = 0;
    std::unique_ptr<testsupport::ChildProcess> process_;
};

// A loopback port nothing listens on at the moment.
std::uint16_t freePort();

}  // namespace gatewaytest
