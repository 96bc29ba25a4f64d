// A loopback TCP listener with one client at a time (a new client replaces the old one),
// carrying either the plain byte stream or the HID report tunnel. Unplug closes the client
// and the listener, so connecting fails until replug listens again on the same port.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "hid_reports.h"
#include "host_link.h"
#include "posix_io.h"
#include "request_parser.h"

namespace readersim {

enum class Framing { Stream, HidReports };

class SocketServer : public HostLink {
  public:
    SocketServer(Framing framing, FrameHandler handler);
    ~SocketServer() override;
    SocketServer(const SocketServer &) = delete;
    SocketServer &operator=(const SocketServer &) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port) and returns the port. Throws
    // std::runtime_error when the port cannot be bound.
    uint16_t start(uint16_t port);
    uint16_t port() const { return port_; }

    // Both return once the listener state has changed.
    void unplug();
    void replug();

    bool send(std::span<const uint8_t> bytes) override;
    bool hasClient() const;
    uint64_t configReports() const { return configReports_.load(); }
    uint64_t connectionsAccepted() const { return accepted_.load(); }

  private:
    void run();
    void applyPlugState();
    bool openListener();
    void closeListener();
    void acceptClient();
    void readClient();
    void dropClient();
    void handleIncoming(std::span<const uint8_t> bytes);
    void setPlugged(bool plugged);

    const Framing framing_;
    const FrameHandler handler_;
    qn::WakeEvent wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    uint16_t port_ = 0;
    int listenFd_ = -1;
    int clientFd_ = -1;  // changed only by the server thread, under writeMutex_
    mutable std::mutex writeMutex_;

    // Plug requests: the thread applies them and confirms through `applied_`.
    std::mutex stateMutex_;
    std::condition_variable stateChanged_;
    bool wantPlugged_ = true;
    uint64_t requested_ = 0;
    uint64_t applied_ = 0;

    RequestParser parser_;
    OutputReportDecoder decoder_;
    std::atomic<uint64_t> configReports_{0};
    std::atomic<uint64_t> accepted_{0};
};

}  // namespace readersim
