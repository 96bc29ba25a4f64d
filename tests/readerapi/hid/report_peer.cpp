#include "report_peer.h"

#include "loopback_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace hidtest {

namespace {

constexpr size_t kRecordSize = 33;
constexpr size_t kMaxPayload = 31;
constexpr int kPollMs = 10;  // how soon the peer notices a stop or a plug change

}  // namespace

Bytes payloadOf(const Bytes &record) {
    if (record.size() != kRecordSize || record[1] > kMaxPayload) return {};
    return Bytes(record.begin() + 2, record.begin() + 2 + record[1]);
}

ReportPeer::ReportPeer() {
    listen();
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

ReportPeer::~ReportPeer() {
    thread_.request_stop();
    thread_.join();
    closeClient();
    if (listenFd_ >= 0) ::close(listenFd_);
}

std::string ReportPeer::endpoint() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void ReportPeer::setResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<Bytes> ReportPeer::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

void ReportPeer::clearRecords() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

bool ReportPeer::waitForRecords(size_t count, std::chrono::milliseconds deadline) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return records_.size() >= count; });
}

void ReportPeer::unplug() {
    std::unique_lock lock(mutex_);
    wantPlugged_ = false;
    changed_.wait(lock, [this] { return !plugged_; });
}

void ReportPeer::replug() {
    std::unique_lock lock(mutex_);
    wantPlugged_ = true;
    changed_.wait(lock, [this] { return plugged_; });
}

void ReportPeer::listen() {
    testsupport::LoopbackSocket listener = testsupport::LoopbackSocket::listening(8, port_);
    if (!listener.valid()) throw std::runtime_error("report peer cannot listen");
    port_ = listener.port();  // a free one the first time, the same one at every replug
    listenFd_ = listener.release();
}

void ReportPeer::run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        bool want;
        {
            std::lock_guard lock(mutex_);
            want = wantPlugged_;
        }
        if (want != (listenFd_ >= 0)) {
            if (want) {
                listen();
            } else {
                closeClient();
                ::close(listenFd_);
                listenFd_ = -1;
            }
            std::lock_guard lock(mutex_);
            plugged_ = want;
            changed_.notify_all();
        }
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {clientFd_, POLLIN, 0}};
        if (::poll(fds, 2, kPollMs) <= 0) continue;
        if (fds[1].revents) readClient();
        if (fds[0].revents) acceptClient();
    }
}

void ReportPeer::acceptClient() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    closeClient();
    clientFd_ = fd;
    ++accepted_;
}

void ReportPeer::readClient() {
    uint8_t buffer[512];
    const ssize_t n = ::recv(clientFd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        closeClient();
        return;
    }
    incoming_.insert(incoming_.end(), buffer, buffer + n);
    while (incoming_.size() >= kRecordSize) {
        const Bytes record(incoming_.begin(), incoming_.begin() + kRecordSize);
        incoming_.erase(incoming_.begin(), incoming_.begin() + kRecordSize);
        handleRecord(record);
    }
}

// Request frames: "ZK", length L (big-endian), then L more bytes up to the checksum.
void ReportPeer::handleRecord(const Bytes &record) {
    Responder responder;
    {
        std::lock_guard lock(mutex_);
        records_.push_back(record);
        responder = responder_;
    }
    changed_.notify_all();
    const Bytes payload = payloadOf(record);
    stream_.insert(stream_.end(), payload.begin(), payload.end());
    while (stream_.size() >= 4) {
        const size_t frameSize = size_t(stream_[2] << 8 | stream_[3]) + 4;
        if (stream_.size() < frameSize) return;
        const Bytes request(stream_.begin(), stream_.begin() + frameSize);
        stream_.erase(stream_.begin(), stream_.begin() + frameSize);
        if (responder) sendReports(responder(request));
    }
}

void ReportPeer::sendReports(const std::vector<Bytes> &payloads) {
    for (const Bytes &payload : payloads) {
        Bytes record(kRecordSize, 0);
        record[1] = static_cast<uint8_t>(payload.size());
        std::copy(payload.begin(), payload.end(), record.begin() + 2);
        ::send(clientFd_, record.data(), record.size(), MSG_NOSIGNAL);
    }
}

void ReportPeer::closeClient() {
    if (clientFd_ >= 0) ::close(clientFd_);
    clientFd_ = -1;
    incoming_.clear();
    stream_.clear();
}

}  // namespace hidtest
