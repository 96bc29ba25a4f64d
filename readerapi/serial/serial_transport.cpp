#include "serial_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "line_settings.h"
#include "posix_io.h"

namespace qn {

namespace {

constexpr TransportProfile kSerialProfile{
    .kind = TransportKind::Serial,
    .settleDelay = std::chrono::milliseconds(10),
    .monitorPeriod = std::chrono::milliseconds(200),
    .readWait = std::chrono::milliseconds(1),
    .pendingCapacity = 50176,
    .readChunk = 256,
    .hasTagBuffer = true,
    .matchesAddress = true,
};

// A write that the port cannot take within this time fails the command.
constexpr std::chrono::milliseconds kWriteTimeout(1000);

}  // namespace

const TransportProfile &SerialTransport::profile() const {
    return kSerialProfile;
}

void SerialTransport::setTarget(const std::string &devicePath, int32_t baudRate) {
    target_.request({devicePath, baudRate});
}

uint8_t SerialTransport::setParity(uint8_t parity) {
    parity_ = parity;
    return parity;
}

bool SerialTransport::open() {
    return target_.openRequested([this](const Port &port) { return openPort(port); });
}

bool SerialTransport::reopen() {
    return target_.openSaved([this](const Port &port) { return openPort(port); });
}

bool SerialTransport::openPort(const Port &port) {
    if (port.path.empty()) return failOpen(ENOENT);
    const int fd = ::open(port.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failOpen(errno);
    if (!applyLineSettings(fd, port.baudRate, parity_.load())) {
        const int error = errno;
        ::close(fd);
        return failOpen(error);
    }
    purgeQueues(fd);
    fd_ = fd;
    return true;
}

void SerialTransport::close() {
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
}

bool SerialTransport::write(std::span<const uint8_t> frame) {
    const int fd = fd_.load();
    return fd >= 0 && writeAll(fd, frame, kWriteTimeout, ::write);
}

ReadResult SerialTransport::read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) {
    const int fd = fd_.load();
    if (fd < 0) return {ReadStatus::Lost, 0};
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
    if (ready < 0) return {errno == EINTR ? ReadStatus::Timeout : ReadStatus::Lost, 0};
    if (ready == 0) return {ReadStatus::Timeout, 0};
    if (!(pfd.revents & POLLIN)) return {ReadStatus::Lost, 0};  // hang-up or error only
    if (buffer.empty()) return {ReadStatus::Timeout, 0};
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) return {ReadStatus::Data, static_cast<size_t>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return {ReadStatus::Timeout, 0};
    return {ReadStatus::Lost, 0};  // end of file or a read error: the device is gone
}

}  // namespace qn
