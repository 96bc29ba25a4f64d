#include "connect_out.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "backoff.h"

namespace readersim {

namespace {

constexpr std::chrono::milliseconds kSendLimit{2000};
constexpr std::chrono::milliseconds kConnectLimit{3000};
// Back-off between attempts: doubled after each failure up to the cap, and back to the first
// step once a connection has lasted as long as the cap (a server that accepts and closes at
// once, over its connection limit, is not hammered).
constexpr std::chrono::milliseconds kFirstBackOff{50};
constexpr std::chrono::milliseconds kMaxBackOff{2000};

// Connecting to a free port of the ephemeral range on this host can pick that very port as
// the local end and connect the socket to itself (TCP simultaneous open). It would hold the
// server's port and talk to nobody.
bool connectedToItself(int fd) {
    sockaddr_in local{};
    sockaddr_in remote{};
    socklen_t localLength = sizeof local;
    socklen_t remoteLength = sizeof remote;
    return ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) == 0 &&
           ::getpeername(fd, reinterpret_cast<sockaddr *>(&remote), &remoteLength) == 0 &&
           local.sin_port == remote.sin_port && local.sin_addr.s_addr == remote.sin_addr.s_addr;
}

}  // namespace

ConnectOut::ConnectOut(FrameHandler handler) : handler_(std::move(handler)) {}

ConnectOut::~ConnectOut() {
    stopping_ = true;
    wake_.signal();
    if (thread_.joinable()) thread_.join();
    setConnection(-1);
}

void ConnectOut::start(const std::string &host, uint16_t port) {
    host_ = host;
    port_ = port;
    thread_ = std::thread([this] { run(); });
}

void ConnectOut::unplug() {
    plugged_ = false;
    std::lock_guard lock(writeMutex_);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);  // the thread sees the end and closes
}

void ConnectOut::replug() {
    plugged_ = true;
    wake_.signal();
}

void ConnectOut::run() {
    tools::Backoff backOff(kFirstBackOff, kMaxBackOff);
    while (!stopping_) {
        if (!plugged_) {
            pause(std::chrono::milliseconds(-1));
            continue;
        }
        const int fd = connectOnce();
        if (fd >= 0) {
            const auto since = std::chrono::steady_clock::now();
            setConnection(fd);
            ++connections_;
            readUntilClosed();
            setConnection(-1);
            if (std::chrono::steady_clock::now() - since >= kMaxBackOff) backOff.reset();
        }
        pause(backOff.next());
    }
}

// A connected descriptor, or -1.
int ConnectOut::connectOnce() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &found) != 0) return -1;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool started =
        fd >= 0 && (::connect(fd, found->ai_addr, found->ai_addrlen) == 0 || errno == EINPROGRESS);
    ::freeaddrinfo(found);
    if (!started || !waitConnected(fd) || connectedToItself(fd)) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Waits for a non-blocking connect; a refusal or an unreachable host is a failure, not
// writability alone.
bool ConnectOut::waitConnected(int fd) {
    pollfd fds[2] = {{fd, POLLOUT, 0}, {wake_.fd(), POLLIN, 0}};
    if (::poll(fds, 2, static_cast<int>(kConnectLimit.count())) <= 0 || fds[1].revents != 0)
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

void ConnectOut::readUntilClosed() {
    auto deliver = [this](const Bytes &frame) { handler_(frame, *this); };
    while (!stopping_) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_.fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) wake_.drain();
        if (fds[0].revents == 0) continue;
        uint8_t buffer[4096];
        const ssize_t received = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received > 0)
            parser_.feed(std::span(buffer, static_cast<size_t>(received)), deliver);
        else if (received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return;
    }
}

void ConnectOut::setConnection(int fd) {
    std::lock_guard lock(writeMutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    parser_.reset();
    heldAnswer.clear();
}

void ConnectOut::pause(std::chrono::milliseconds delay) {
    pollfd entry{wake_.fd(), POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(delay.count())) > 0) wake_.drain();
}

bool ConnectOut::send(std::span<const uint8_t> bytes) {
    std::lock_guard lock(writeMutex_);
    if (fd_ < 0 || !plugged_) return false;
    if (qn::writeAll(fd_, bytes, kSendLimit, qn::sendNoSignal)) return true;
    // A half-written frame would garble the stream: end this connection instead.
    ::shutdown(fd_, SHUT_RDWR);
    return false;
}

}  // namespace readersim
