#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

constexpr int kPeerWaitMs = 10000;

bool readable(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, kPeerWaitMs) > 0;
}

LoopbackSocket boundSocket(uint16_t port) {
    LoopbackSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(port);
    // A port is taken again at once after its last listener closed.
    const int on = 1;
    if (socket.valid()) ::setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (!socket.valid() ||
        ::bind(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        return {};
    }
    return socket;
}

}  // namespace

LoopbackSocket::~LoopbackSocket() {
    if (fd_ >= 0) ::close(fd_);
}

LoopbackSocket &LoopbackSocket::operator=(LoopbackSocket &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

int LoopbackSocket::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

uint16_t LoopbackSocket::port() const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

LoopbackSocket LoopbackSocket::boundOnly() {
    return boundSocket(0);
}

LoopbackSocket LoopbackSocket::listening(int backlog, uint16_t port) {
    LoopbackSocket socket = boundSocket(port);
    if (!socket.valid() || ::listen(socket.fd(), backlog) != 0) return {};
    return socket;
}

LoopbackSocket LoopbackSocket::connectedTo(uint16_t port) {
    LoopbackSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(port);
    if (!socket.valid() ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        return {};
    }
    return socket;
}

LoopbackSocket LoopbackSocket::acceptOne() const {
    if (fd_ < 0 || !readable(fd_)) return {};
    return LoopbackSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

bool LoopbackSocket::receiveExactly(uint8_t *out, size_t size) const {
    size_t received = 0;
    while (received < size) {
        if (fd_ < 0 || !readable(fd_)) return false;
        const ssize_t n = ::recv(fd_, out + received, size - received, 0);
        if (n <= 0) return false;
        received += static_cast<size_t>(n);
    }
    return true;
}

bool LoopbackSocket::sendAll(const uint8_t *bytes, size_t size) const {
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace testsupport
