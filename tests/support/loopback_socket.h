// Plain loopback sockets for the tests' own peers: clients of the virtual reader and of the
// network server, listeners that play a reader connecting out or a HID tunnel, a port where
// nothing listens, or a listener that does not take a connection in time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace testsupport {

class LoopbackSocket {
  public:
    LoopbackSocket() = default;
    explicit LoopbackSocket(int fd) : fd_(fd) {}
    ~LoopbackSocket();
    LoopbackSocket(LoopbackSocket &&other) noexcept : fd_(other.release()) {}
    LoopbackSocket &operator=(LoopbackSocket &&other) noexcept;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The port the socket is bound to, 0 when unknown.
    uint16_t port() const;
    int release();

    // A socket bound to a free loopback port that does not listen: connects are refused.
    static LoopbackSocket boundOnly();
    // A loopback listener with the given backlog, on `port` (0: a free one). Nothing accepts
    // on it until acceptOne.
    static LoopbackSocket listening(int backlog, uint16_t port = 0);
    // A blocking client connected to 127.0.0.1:port (invalid when the connect failed).
    static LoopbackSocket connectedTo(uint16_t port);

    // Listener: takes the next connection, waiting at most 10 s.
    LoopbackSocket acceptOne() const;
    // Connection: receives exactly `size` bytes, waiting at most 10 s; false on failure.
    bool receiveExactly(uint8_t *out, size_t size) const;
    bool sendAll(const uint8_t *bytes, size_t size) const;

  private:
    int fd_ = -1;
};

}  // namespace testsupport
