#include "sim_test_support.h"

#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "hid_reports.h"

namespace simtest {

Bytes requestFrame(uint8_t command, const Bytes &data, uint8_t address) {
    Bytes frame(data.size() + qn::kRequestOverhead);
    frame.resize(qn::buildRequest(address, command, data, frame));
    return frame;
}

uint8_t statusOf(const Bytes &frame) {
    return frame.at(qn::kResponseStatusOffset);
}
uint8_t commandOf(const Bytes &frame) {
    return frame.at(qn::kResponseCommandOffset);
}
Bytes dataOf(const Bytes &frame) {
    return Bytes(frame.begin() + qn::kResponseDataOffset, frame.end() - 1);
}

bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

FrameClient::~FrameClient() {
    close();
}

bool FrameClient::connect(uint16_t port) {
    close();
    fd_ = testsupport::LoopbackSocket::connectedTo(port).release();
    if (fd_ < 0) return false;
    closed_ = false;
    return true;
}

void FrameClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    pending_.clear();
    hidBytes_.clear();
    parser_.reset();
}

bool FrameClient::sendWire(const Bytes &bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                           static_cast<ssize_t>(bytes.size());
}

bool FrameClient::send(const Bytes &bytes) {
    if (wire_ == Wire::Stream) return sendWire(bytes);
    // Output reports as the HID library writes them: 31 payload bytes at most.
    for (size_t offset = 0; offset < bytes.size(); offset += readersim::kHidPayloadMax) {
        const size_t count = std::min(readersim::kHidPayloadMax, bytes.size() - offset);
        Bytes report(readersim::kHidReportSize, 0);
        report[1] = static_cast<uint8_t>(count);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, report.begin() + 2);
        if (!sendWire(report)) return false;
    }
    return true;
}

bool FrameClient::pump(std::chrono::milliseconds wait) {
    if (fd_ < 0 || closed_) return false;
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0) return true;
    uint8_t buffer[8192];
    const ssize_t received = ::recv(fd_, buffer, sizeof buffer, 0);
    if (received <= 0) {
        closed_ = true;
        return false;
    }
    ++reads_;
    if (wire_ == Wire::Stream) {
        pending_.insert(pending_.end(), buffer, buffer + received);
        return true;
    }
    hidBytes_.insert(hidBytes_.end(), buffer, buffer + received);
    while (hidBytes_.size() >= readersim::kHidReportSize) {
        const Bytes report(hidBytes_.begin(), hidBytes_.begin() + readersim::kHidReportSize);
        hidBytes_.erase(hidBytes_.begin(), hidBytes_.begin() + readersim::kHidReportSize);
        reports_.push_back(report);
        const size_t count = std::min<size_t>(report[1], readersim::kHidPayloadMax);
        pending_.insert(pending_.end(), report.begin() + 2,
                        report.begin() + 2 + static_cast<std::ptrdiff_t>(count));
    }
    return true;
}

std::optional<Bytes> FrameClient::nextFrame(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        size_t used = 0;
        while (used < pending_.size()) {
            if (parser_.feed(pending_[used++])) {
                Bytes frame(parser_.frame(), parser_.frame() + parser_.frameSize());
                parser_.clearFrameReady();
                pending_.erase(pending_.begin(),
                               pending_.begin() + static_cast<std::ptrdiff_t>(used));
                return frame;
            }
        }
        pending_.clear();
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        if (!pump(std::min<std::chrono::milliseconds>(left, 50ms)) && pending_.empty())
            return std::nullopt;
    }
}

std::optional<Bytes> FrameClient::ask(uint8_t command, const Bytes &data) {
    if (!send(requestFrame(command, data))) return std::nullopt;
    return nextFrame();
}

Bytes FrameClient::readRaw(size_t count, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (pending_.size() < count && std::chrono::steady_clock::now() < end)
        if (!pump(10ms)) break;
    Bytes out = std::move(pending_);
    pending_.clear();
    return out;
}

bool FrameClient::waitForClose(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!closed_ && std::chrono::steady_clock::now() < end) pump(10ms);
    return closed_;
}

}  // namespace simtest
