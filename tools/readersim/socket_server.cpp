#include "socket_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace readersim {

namespace {

// Longest wait for room in the socket: a host that stopped reading fails the send.
constexpr std::chrono::milliseconds kSendLimit{2000};
constexpr int kRetryListenMs = 100;

}  // namespace

SocketServer::SocketServer(Framing framing, FrameHandler handler)
    : framing_(framing), handler_(std::move(handler)) {}

SocketServer::~SocketServer() {
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
        stateChanged_.notify_all();
    }
    wake_.signal();
    if (thread_.joinable()) thread_.join();
    dropClient();
    closeListener();
}

uint16_t SocketServer::start(uint16_t port) {
    port_ = port;
    if (!openListener())
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
    return port_;
}

bool SocketServer::openListener() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int on = 1;
    // Replug must get the same port back while old connections linger in TIME_WAIT.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    return true;
}

void SocketServer::closeListener() {
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

void SocketServer::setPlugged(bool plugged) {
    std::unique_lock lock(stateMutex_);
    wantPlugged_ = plugged;
    const uint64_t ticket = ++requested_;
    wake_.signal();
    stateChanged_.wait(lock, [&] { return applied_ >= ticket || stopping_.load(); });
}

void SocketServer::unplug() {
    setPlugged(false);
}
void SocketServer::replug() {
    setPlugged(true);
}

void SocketServer::applyPlugState() {
    std::lock_guard lock(stateMutex_);
    if (!wantPlugged_) {
        // Stop accepting first: a client that reconnects the moment it is dropped must be
        // refused, not accepted and reset.
        closeListener();
        dropClient();
    } else if (listenFd_ < 0) {
        openListener();  // retried by the loop while the port is still taken
    }
    applied_ = requested_;
    stateChanged_.notify_all();
}

void SocketServer::run() {
    while (!stopping_) {
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {wake_.fd(), POLLIN, 0};
        const int listenIndex = listenFd_ >= 0 ? static_cast<int>(count) : -1;
        if (listenFd_ >= 0) fds[count++] = {listenFd_, POLLIN, 0};
        const int clientIndex = clientFd_ >= 0 ? static_cast<int>(count) : -1;
        if (clientFd_ >= 0) fds[count++] = {clientFd_, POLLIN, 0};
        bool wantListener = false;
        {
            std::lock_guard lock(stateMutex_);
            wantListener = wantPlugged_ && listenFd_ < 0;
        }
        if (::poll(fds, count, wantListener ? kRetryListenMs : -1) < 0) {
            // Interrupted or out of resources: nothing is ready, look again shortly.
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (fds[0].revents != 0 || wantListener) {
            wake_.drain();
            applyPlugState();
            continue;  // descriptors may have changed
        }
        if (clientIndex >= 0 && fds[clientIndex].revents != 0) readClient();
        if (listenIndex >= 0 && fds[listenIndex].revents != 0) acceptClient();
    }
}

void SocketServer::acceptClient() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    dropClient();  // one client at a time: the newcomer wins
    {
        std::lock_guard lock(writeMutex_);
        clientFd_ = fd;
    }
    ++accepted_;
}

void SocketServer::dropClient() {
    std::lock_guard lock(writeMutex_);
    if (clientFd_ >= 0) ::close(clientFd_);
    clientFd_ = -1;
    parser_.reset();
    decoder_.reset();
    heldAnswer.clear();
}

void SocketServer::readClient() {
    uint8_t buffer[4096];
    const ssize_t received = ::recv(clientFd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (received > 0) {
        handleIncoming(std::span(buffer, static_cast<size_t>(received)));
    } else if (received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        dropClient();
    }
}

void SocketServer::handleIncoming(std::span<const uint8_t> bytes) {
    auto deliver = [this](const Bytes &frame) { handler_(frame, *this); };
    if (framing_ == Framing::Stream) {
        parser_.feed(bytes, deliver);
        return;
    }
    Bytes payload;
    decoder_.feed(bytes, payload);
    configReports_ = decoder_.configReports();
    parser_.feed(payload, deliver);
}

bool SocketServer::send(std::span<const uint8_t> bytes) {
    std::lock_guard lock(writeMutex_);
    if (clientFd_ < 0) return false;
    const Bytes reports = framing_ == Framing::HidReports ? encodeInputReports(bytes) : Bytes{};
    const std::span<const uint8_t> wire = framing_ == Framing::HidReports ? reports : bytes;
    if (qn::writeAll(clientFd_, wire, kSendLimit, qn::sendNoSignal)) return true;
    // A half-written frame would garble the stream: end this client instead.
    ::shutdown(clientFd_, SHUT_RDWR);
    return false;
}

bool SocketServer::hasClient() const {
    std::lock_guard lock(writeMutex_);
    return clientFd_ >= 0;
}

}  // namespace readersim
