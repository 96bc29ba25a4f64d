// The reader as a TCP client: it connects out to a host's server, as networked readers set
// to client mode do, and carries the plain byte stream (active reports out, requests in).
// While the server is away it tries again with a bounded back-off. Unplug ends the
// connection and stops the attempts until replug.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "host_link.h"
#include "posix_io.h"
#include "request_parser.h"

namespace readersim {

class ConnectOut : public HostLink {
  public:
    explicit ConnectOut(FrameHandler handler);
    ~ConnectOut() override;
    ConnectOut(const ConnectOut &) = delete;
    ConnectOut &operator=(const ConnectOut &) = delete;

    // Starts connecting to host:port (a name or dotted IPv4 address) on its own thread.
    void start(const std::string &host, uint16_t port);
    void unplug();
    void replug();

    bool send(std::span<const uint8_t> bytes) override;
    uint64_t connectionsMade() const { return connections_.load(); }

  private:
    void run();
    int connectOnce();
    bool waitConnected(int fd);
    void readUntilClosed();
    void setConnection(int fd);
    void pause(std::chrono::milliseconds delay);

    const FrameHandler handler_;
    std::string host_;
    uint16_t port_ = 0;
    qn::WakeEvent wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> plugged_{true};
    int fd_ = -1;  // changed only by the connecting thread, under writeMutex_
    std::mutex writeMutex_;
    RequestParser parser_;
    std::atomic<uint64_t> connections_{0};
};

}  // namespace readersim
