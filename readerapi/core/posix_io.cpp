#include "posix_io.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace qn {

bool writeAll(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds roomWait,
              WriteSome writeSome) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = writeSome(fd, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        pollfd pfd{fd, POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(roomWait.count())) <= 0 || !(pfd.revents & POLLOUT)) {
            return false;
        }
    }
    return true;
}

ssize_t sendNoSignal(int fd, const void *bytes, size_t count) {
    return ::send(fd, bytes, count, MSG_NOSIGNAL);
}

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    if (fd_ >= 0) ::close(fd_);
}

void WakeEvent::signal() {
    const uint64_t one = 1;
    if (fd_ >= 0) (void)!::write(fd_, &one, sizeof one);
}

void WakeEvent::drain() {
    uint64_t count;
    if (fd_ >= 0) (void)!::read(fd_, &count, sizeof count);
}

}  // namespace qn
