#include "net_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "posix_io.h"

namespace qn {

namespace {

using std::chrono::milliseconds;

constexpr TransportProfile kNetProfile{
    .kind = TransportKind::Net,
    .settleDelay = milliseconds(20),
    .monitorPeriod = milliseconds(500),
    .readWait = milliseconds(5),
    .pendingCapacity = 65536,
    .readChunk = 1024,
    .hasTagBuffer = false,
    .matchesAddress = false,
};

// A reader that has not taken the connection by then counts as unreachable.
constexpr milliseconds kConnectWait(1500);
// How long a send waits for room when the reader reads slower than we write; shorter than
// the shortest answer wait, so a stuck reader fails the command rather than stalling it.
constexpr milliseconds kSendWait(400);

// poll() on one socket, resumed after signals until the wait is used up. Returns the
// events that occurred, or 0 when the wait ran out (or poll itself failed).
short waitFor(int fd, short events, milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Rounded up: a wait cut short by rounding would only wake the thread early.
        const auto left =
            std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready > 0) return pfd.revents;
        if (ready == 0 || errno != EINTR) return 0;
    }
}

// 1 ms send and receive time-outs. The socket is non-blocking, so these only bound a call
// that would otherwise block if the mode were ever lost.
bool setIoTimeouts(int fd) {
    const timeval oneMillisecond{0, 1000};
    const socklen_t size = sizeof oneMillisecond;
    return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &oneMillisecond, size) == 0 &&
           ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &oneMillisecond, size) == 0;
}

bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// 0 when the connect is under way or done, else its errno.
int startConnect(int fd, const Endpoint &endpoint) {
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&endpoint), sizeof endpoint) == 0) {
        return 0;
    }
    // An interrupted connect goes on in the background, like one in progress.
    return errno == EINPROGRESS || errno == EINTR ? 0 : errno;
}

// Writability alone is not success: a refused or unreachable connect makes the socket
// writable too, and leaves its reason in SO_ERROR. 0 when connected, else the errno.
int finishConnect(int fd) {
    if (!(waitFor(fd, POLLOUT, kConnectWait) & POLLOUT)) return ETIMEDOUT;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

}  // namespace

std::optional<Endpoint> parseEndpoint(const char *ipAddress, uint16_t port) {
    if (!ipAddress || port == 0) return std::nullopt;
    // The longest dotted form is "255.255.255.255"; never read further into the text.
    if (::strnlen(ipAddress, INET_ADDRSTRLEN) == INET_ADDRSTRLEN) return std::nullopt;
    Endpoint endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    if (::inet_pton(AF_INET, ipAddress, &endpoint.sin_addr) != 1) return std::nullopt;
    return endpoint;
}

const TransportProfile &NetTransport::profile() const {
    return kNetProfile;
}

void NetTransport::setTarget(const Endpoint &endpoint) {
    target_.request(endpoint);
}

bool NetTransport::open() {
    return target_.openRequested([this](const Endpoint &endpoint) { return connectTo(endpoint); });
}

bool NetTransport::reopen() {
    return target_.openSaved([this](const Endpoint &endpoint) { return connectTo(endpoint); });
}

bool NetTransport::connectTo(const Endpoint &endpoint) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return failOpen(errno);
    // The socket stays non-blocking for its whole life: the receive thread waits in poll.
    int error = setIoTimeouts(fd) && setNonBlocking(fd) ? 0 : errno;
    if (error == 0) error = startConnect(fd, endpoint);
    if (error == 0) error = finishConnect(fd);
    if (error != 0) {
        ::close(fd);
        return failOpen(error);
    }
    fd_ = fd;
    return true;
}

void NetTransport::close() {
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
}

bool NetTransport::write(std::span<const uint8_t> frame) {
    const int fd = fd_.load();
    return fd >= 0 && writeAll(fd, frame, kSendWait, sendNoSignal);
}

ReadResult NetTransport::read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) {
    const int fd = fd_.load();
    if (fd < 0) return {ReadStatus::Lost, 0};
    if (buffer.empty()) return {ReadStatus::Timeout, 0};  // pending input full: parse first
    // Without a wait the receive itself tells whether anything is there.
    if (wait.count() > 0 && !waitFor(fd, POLLIN, wait)) return {ReadStatus::Timeout, 0};
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n > 0) return {ReadStatus::Data, static_cast<size_t>(n)};
    // Nothing there yet.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return {ReadStatus::Timeout, 0};
    }
    return {ReadStatus::Lost, 0};  // 0 bytes: the reader closed; any other error: network gone
}

}  // namespace qn
