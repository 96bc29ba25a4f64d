// The TCP client transport of QnNetApi: one non-blocking stream socket to the reader.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "reopen_target.h"
#include "transport.h"

namespace qn {

// A reader's IPv4 address and port, in network byte order, ready for connect().
using Endpoint = sockaddr_in;

// Parses dotted IPv4 text ("192.168.1.100") and a port. No name lookup: any other text, a
// missing text or port 0 gives no endpoint.
std::optional<Endpoint> parseEndpoint(const char *ipAddress, uint16_t port);

class NetTransport final : public Transport {
  public:
    const TransportProfile &profile() const override;

    // The reader the next open() connects to; it becomes the reopen target once connected.
    void setTarget(const Endpoint &endpoint);

    bool open() override;
    bool reopen() override;
    void close() override;
    bool isOpen() const override { return fd_.load() >= 0; }
    bool write(std::span<const uint8_t> frame) override;
    ReadResult read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) override;
    // The socket itself: an idle receive thread sleeps on it until the reader sends.
    int pollFd() const override { return fd_.load(); }

  private:
    bool connectTo(const Endpoint &endpoint);

    ReopenTarget<Endpoint> target_;
    std::atomic<int> fd_{-1};
};

}  // namespace qn
