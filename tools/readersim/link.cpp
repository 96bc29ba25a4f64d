#include "link.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace readersim {

bool writeFully(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds limit,
                const std::atomic<bool> &stopping,
                const std::function<long(int, const uint8_t *, size_t)> &writeSome) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    size_t done = 0;
    while (done < bytes.size()) {
        const long written = writeSome(fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (stopping.load() || std::chrono::steady_clock::now() >= deadline) return false;
        pollfd entry{fd, POLLOUT, 0};
        ::poll(&entry, 1, 50);  // short slices so a stop is noticed
    }
    return true;
}

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) throw std::runtime_error("eventfd failed");
}

WakeEvent::~WakeEvent() { ::close(fd_); }

void WakeEvent::signal() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

void WakeEvent::drain() {
    uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_, &value, sizeof value);
}

}  // namespace readersim
