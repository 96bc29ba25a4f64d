// A loopback TCP relay between the gateway and the broker that the test can cut (every
// connection reset, new ones reset as soon as they come) and restore: the broker unreachable
// for as long as the test needs, while the test's own subscribers stay connected.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace gatewaytest {

class TcpCut {
  public:
    explicit TcpCut(std::uint16_t target);
    ~TcpCut();
    TcpCut(const TcpCut &) = delete;
    TcpCut &operator=(const TcpCut &) = delete;

    std::uint16_t port() const;
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port()); }
    // Both return once done.
    void cut();
    void restore();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace gatewaytest
