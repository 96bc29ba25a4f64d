#include "link.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace qn {

namespace {
constexpr uint8_t kAnyReader = 0xFF;
constexpr uint8_t kStatusSuccess = 1;
constexpr uint8_t kStatusNoReport = 1;
constexpr uint8_t kStatusReportStored = 2;
// Longest sleep of an idle receive thread on a pollable transport; a stop wakes it at once.
constexpr int kIdlePollMs = 1000;
}  // namespace

void Response::assign(const uint8_t *frame, size_t frameSize) {
    frameSize_ = std::min(frameSize, sizeof frame_);
    std::memcpy(frame_, frame, frameSize_);
    lengthField_ = frameSize_ >= 4 ? qn::lengthField(frame_) : 0;
    const size_t carried = frameSize_ > kResponseDataOffset + 1
                               ? frameSize_ - kResponseDataOffset - 1  // minus the checksum
                               : 0;
    const size_t declared = lengthField_ >= 4 ? lengthField_ - 4u : 0;
    dataSize_ = std::min(carried, declared);
}

void Response::copyData(size_t offset, size_t count, uint8_t *out) const {
    const size_t available = offset < dataSize_ ? std::min(count, dataSize_ - offset) : 0;
    if (available) std::memcpy(out, frame_ + kResponseDataOffset + offset, available);
    if (count > available) std::memset(out + available, 0, count - available);
}

uint8_t Response::dataByte(size_t index) const {
    return index < dataSize_ ? frame_[kResponseDataOffset + index] : 0;
}

Link::Link(Transport &transport)
    : transport_(transport),
      profile_(transport.profile()),
      pending_(transport.profile().pendingCapacity),
      tagBuffer_(kTagBufferSize) {
    receiveWakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

Link::~Link() {
    close();
    if (receiveWakeFd_ >= 0) ::close(receiveWakeFd_);
}

bool Link::open() {
    std::lock_guard lock(openMutex_);
    return openLocked();
}

bool Link::openLocked() {
    const bool reopening = monitorThread_.isCurrentThread();
    receiveThread_.stop();
    {
        std::lock_guard lock(transportMutex_);
        transport_.close();
        connected_ = false;
        if (!(reopening ? transport_.reopen() : transport_.open())) return false;
    }
    connected_ = true;
    std::this_thread::sleep_for(profile_.settleDelay);
    parser_.reset();
    pending_.clear();
    lastReportCount_ = 0;
    monitorThread_.startUnlessRunning([this](std::stop_token stop) { monitorLoop(stop); });
    receiveThread_.startUnlessRunning([this](std::stop_token stop) { receiveLoop(stop); });
    return true;
}

void Link::close() {
    // Threads first and without the open lock: the monitor takes it to reopen.
    monitorThread_.stop();
    monitorWake_.notify_all();
    receiveThread_.stop();
    std::lock_guard lock(openMutex_);
    std::lock_guard transportLock(transportMutex_);
    transport_.close();
    connected_ = false;
}

bool Link::transact(uint8_t address, Command command, std::span<const uint8_t> data,
                    Response &response, std::chrono::milliseconds pauseAfterSend) {
    std::lock_guard commandLock(commandMutex_);
    if (profile_.matchesAddress) readerAddress_ = address;
    if (!sendRequest(command, data)) return false;
    if (pauseAfterSend.count() > 0) std::this_thread::sleep_for(pauseAfterSend);
    const auto timeout = pollCount(command, profile_.kind) * pollPeriod(profile_.kind);
    return waitForResponse(command, timeout, response);
}

bool Link::sendRequest(Command command, std::span<const uint8_t> data) {
    uint8_t frame[kRequestBufferSize];
    const uint8_t address = profile_.matchesAddress ? readerAddress_.load() : kAnyReader;
    const size_t size = buildRequest(address, static_cast<uint8_t>(command), data, frame);
    if (size == 0 || !transport_.isOpen()) return false;
    // Reported as the attempt starts: a quick reader's answer must not be logged before it.
    notifyTraffic(1, frame, size, nullptr);
    std::lock_guard lock(transportMutex_);
    if (!transport_.isOpen()) return false;
    {
        std::lock_guard slotLock(slotMutex_);
        responseArrived_ = false;
        slot_.fill(0);
        slotSize_ = 0;
    }
    transport_.discardInput();
    return transport_.write({frame, size});
}

bool Link::waitForResponse(Command command, std::chrono::milliseconds timeout,
                           Response &response) {
    std::unique_lock lock(slotMutex_);
    // The first arrival decides; a wrong answer ends the wait.
    if (!slotArrived_.wait_for(lock, timeout, [this] { return responseArrived_; })) return false;
    response.assign(slot_.data(), slotSize_);
    lock.unlock();
    const uint8_t *frame = response.frame_;
    if (frame[kResponseStatusOffset] != kStatusSuccess) return false;
    if (frame[kResponseCommandOffset] != static_cast<uint8_t>(command)) return false;
    if (!profile_.matchesAddress) return true;
    const uint8_t configured = readerAddress_.load();
    return configured == kAnyReader || configured == frame[kResponseAddressOffset];
}

std::chrono::milliseconds Link::waitForInput(const std::stop_token &stop) {
    // Bytes left behind a delivered frame are parsed at once, without waiting for more.
    if (pending_.size()) return std::chrono::milliseconds(0);
    const int fd = transport_.pollFd();
    if (fd < 0 || receiveWakeFd_ < 0) return profile_.readWait;
    pollfd fds[2] = {{fd, POLLIN, 0}, {receiveWakeFd_, POLLIN, 0}};
    while (!stop.stop_requested() && ::poll(fds, 2, kIdlePollMs) == 0) {
    }
    return std::chrono::milliseconds(0);  // input, hang-up or stop: the read tells which
}

void Link::receiveLoop(std::stop_token stop) {
    uint64_t stale;
    while (receiveWakeFd_ >= 0 && ::read(receiveWakeFd_, &stale, sizeof stale) > 0) {
    }
    std::stop_callback wakeOnStop(stop, [this] {
        const uint64_t one = 1;
        if (receiveWakeFd_ >= 0) (void)!::write(receiveWakeFd_, &one, sizeof one);
    });
    while (!stop.stop_requested()) {
        const auto wait = waitForInput(stop);
        if (stop.stop_requested()) break;
        const size_t room = std::min(pending_.room(), profile_.readChunk);
        const ReadResult result = transport_.read({pending_.writePosition(), room}, wait);
        if (result.status == ReadStatus::Lost) {
            connected_ = false;
            break;
        }
        pending_.commit(result.bytes);
        if (pending_.size() && pending_.pass(parser_)) deliverFrame();
    }
}

void Link::deliverFrame() {
    const uint8_t *frame = parser_.frame();
    const int count = parser_.count();
    parser_.clearFrameReady();
    if (count > kMaxDeliverableCount) return;
    const size_t size = static_cast<size_t>(count) + 1;
    // The traffic callback runs before the waiting command wakes, so a log shows the frame
    // received ahead of the command's outcome.
    const SerialNumber serial = serialNumber();
    notifyTraffic(0, frame, size, serial.data());
    if (frame[kResponseCommandOffset] == static_cast<uint8_t>(Command::ActiveReport)) {
        handleReport(frame);
        return;
    }
    {
        std::lock_guard lock(slotMutex_);
        std::memcpy(slot_.data(), frame, size);
        slotSize_ = size;
        responseArrived_ = true;
    }
    slotArrived_.notify_all();
}

void Link::handleReport(const uint8_t *frame) {
    const uint16_t length = lengthField(frame);
    if (length < 4 + kReportHeaderSize) return;  // too short to name its reader and count
    const uint8_t *data = frame + kResponseDataOffset;
    setSerialNumber(data);
    const SerialNumber serial = serialNumber();
    const uint8_t tagCount = data[7];
    lastReportCount_ = tagCount;
    const size_t recordBytes = length - 4u - kReportHeaderSize;
    // The callback is told the length field (12 more than the records); what lies past the
    // records is zero, never bytes of another frame.
    std::memcpy(callbackBuffer_.data(), data + kReportHeaderSize, recordBytes);
    std::memset(callbackBuffer_.data() + recordBytes, 0, length - recordBytes);
    if (QnCallback callback = appCallback_.load()) {
        callback(QN_EVENT_DATA, tagCount, callbackBuffer_.data(), length, serial.data());
    }
    if (!profile_.hasTagBuffer) return;
    std::lock_guard lock(tagMutex_);
    if (tagFill_ >= kTagBufferFillLimit) return;
    std::memcpy(tagBuffer_.data() + tagFill_, data + kReportHeaderSize, recordBytes);
    tagFill_ += recordBytes;
    tagTotal_ += tagCount;
    status_ = kStatusReportStored;
}

void Link::monitorLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(monitorWakeMutex_);
            monitorWake_.wait_for(lock, stop, profile_.monitorPeriod, [] { return false; });
        }
        if (stop.stop_requested()) break;
        if (connected_) continue;
        notifyLinkEvent(QN_EVENT_LINK_LOST);
        status_ = kStatusNoReport;
        // Closed from a callback: leave without the open lock, which a new open may hold
        // while it waits for this thread to end.
        if (stop.stop_requested()) break;
        if (!appCallback_.load() && !trafficCallback_.load()) continue;
        bool reopened;
        {
            std::lock_guard lock(openMutex_);
            if (stop.stop_requested()) break;  // closed from a callback meanwhile
            reopened = openLocked();
        }
        if (reopened) notifyLinkEvent(QN_EVENT_LINK_RESTORED);
    }
}

void Link::notifyLinkEvent(int32_t event) {
    const SerialNumber serial = serialNumber();
    if (QnCallback callback = appCallback_.load()) callback(event, 0, nullptr, 0, serial.data());
    if (QnCallback callback = trafficCallback_.load()) {
        callback(event, 0, nullptr, 0, serial.data());
    }
}

void Link::notifyTraffic(int32_t value, const uint8_t *frame, size_t size, const uint8_t *serial) {
    if (QnCallback callback = trafficCallback_.load()) {
        callback(QN_EVENT_DATA, value, frame, static_cast<int32_t>(size), serial);
    }
}

SerialNumber Link::serialNumber() const {
    std::lock_guard lock(serialMutex_);
    return serial_;
}

void Link::setSerialNumber(const uint8_t *serial7) {
    std::lock_guard lock(serialMutex_);
    std::memcpy(serial_.data(), serial7, serial_.size());
}

uint8_t Link::drainTagBuffer(uint8_t *records, int32_t *byteCount, int32_t *tagCount) {
    std::lock_guard lock(tagMutex_);
    if (!records || !byteCount || !tagCount) return status_;
    std::memcpy(records, tagBuffer_.data(), tagFill_);
    *byteCount = static_cast<int32_t>(tagFill_);
    *tagCount = static_cast<int32_t>(tagTotal_);
    tagFill_ = 0;
    tagTotal_ = 0;
    return status_;
}

bool Link::clearTagBuffer() {
    {
        std::lock_guard transportLock(transportMutex_);
        if (!transport_.isOpen()) return false;
    }
    std::lock_guard lock(tagMutex_);
    tagFill_ = 0;
    tagTotal_ = 0;
    return true;
}

}  // namespace qn
