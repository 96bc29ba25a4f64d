#include "link.h"

#include <poll.h>

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
// While commands read their own answers, the receive thread leaves the transport to them and
// looks again this often (or at once when a command hands it a report): watching the same
// descriptor would wake it for every answer, a wake-up per round trip that cost a loaded
// machine a quarter of its round trips.
constexpr auto kCommandLinger = std::chrono::milliseconds(20);
// Longest single read of a command waiting for its answer: close and reopen, which take the
// transport from it, wait at most this long.
constexpr auto kAnswerReadSlice = std::chrono::milliseconds(10);
// Longest frame the parser delivers, checksum included.
constexpr size_t kMaxFrameSize = kMaxDeliverableCount + 1;

using Clock = std::chrono::steady_clock;

bool isReport(const ReceiveParser &parser) {
    return parser.frame()[kResponseCommandOffset] == static_cast<uint8_t>(Command::ActiveReport);
}
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

Link::Link(Transport &transport, LinkListener &listener)
    : transport_(transport),
      profile_(transport.profile()),
      listener_(listener),
      pending_(transport.profile().pendingCapacity),
      // What one preparation parses: the pending input, one more buffer's worth read from the
      // transport and a false header's replay.
      parked_(2 * transport.profile().pendingCapacity + kParserBufferSize),
      tagBuffer_(kTagBufferSize) {}

Link::~Link() {
    close();
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
    resetReceiveState();
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
    const auto timeout = answerTimeout(command);
    if (!sendRequest(command, data, Clock::now() + timeout)) return false;
    if (pauseAfterSend.count() > 0) std::this_thread::sleep_for(pauseAfterSend);
    return waitForResponse(command, timeout, response);
}

bool Link::setWaitScale(int32_t percent) {
    if (percent < kMinWaitScale || percent > kMaxWaitScale) return false;
    waitScalePercent_ = percent;
    return true;
}

std::chrono::milliseconds Link::answerTimeout(Command command) const {
    const auto specified = pollCount(command, profile_.kind) * pollPeriod(profile_.kind);
    return specified * waitScalePercent_.load() / 100;
}

// Prepares the link and writes the request. Input that arrived before it is parsed, not
// thrown away: reports still reach the application, answers to earlier requests are dropped,
// and a frame in progress stays with the parser.
bool Link::sendRequest(Command command, std::span<const uint8_t> data, Clock::time_point deadline) {
    uint8_t frame[kRequestBufferSize];
    const uint8_t address = profile_.matchesAddress ? readerAddress_.load() : kAnyReader;
    const size_t size = buildRequest(address, static_cast<uint8_t>(command), data, frame);
    if (size == 0 || !transport_.isOpen()) return false;
    // Reported as the attempt starts: a quick reader's answer must not be logged before it.
    notifyTraffic(1, frame, size, nullptr);
    // Without the receive side (a command from a callback of the receive thread, or one that
    // is stuck) the old answer is still cleared, but input is left to its reader.
    const bool receiving = takeCallerRole(deadline);
    bool written = false;
    {
        std::lock_guard lock(transportMutex_);
        if (transport_.isOpen()) {
            clearResponseSlot();
            if (receiving) parseReceivedInput();
            written = transport_.write({frame, size});
        }
    }
    if (receiving) {
        // Read while the role is still held: once it is released the receive thread owns
        // the pending input.
        const bool leftOver = parkedSize_.load() > 0 || pending_.hasUnparsed(parser_);
        releaseReceiveRole();
        if (leftOver) wakeReceiveThread();
    }
    return written;
}

// Takes the receive side for the calling command once the receive thread has delivered what
// was handed to it.
bool Link::takeCallerRole(Clock::time_point deadline) {
    std::unique_lock lock(roleMutex_);
    if (receiverId_ == std::this_thread::get_id()) return false;
    const bool free = roleChanged_.wait_until(lock, deadline, [this] {
        return receiver_ == Receiver::None && !parser_.frameReady() && parkedSize_.load() == 0;
    });
    if (!free) return false;
    receiver_ = Receiver::Caller;
    receiverId_ = std::this_thread::get_id();
    return true;
}

void Link::clearResponseSlot() {
    std::lock_guard slotLock(slotMutex_);
    responseArrived_ = false;
    slot_.fill(0);
    slotSize_ = 0;
}

// Parses the pending input and what the transport already holds, parking every complete frame
// for the receive thread. Bounded by the pending buffer and by the room to park.
void Link::parseReceivedInput() {
    size_t readBudget = profile_.pendingCapacity;
    while (true) {
        while (parked_.size() - parkedSize_.load() >= kMaxFrameSize && pending_.pass(parser_)) {
            parkFrame();
        }
        if (pending_.hasUnparsed(parser_) || readBudget == 0) return;  // no room left to park
        const size_t room = std::min({pending_.room(), profile_.readChunk, readBudget});
        const ReadResult result =
            transport_.read({pending_.writePosition(), room}, std::chrono::milliseconds(0));
        if (result.status != ReadStatus::Data || result.bytes == 0) return;
        pending_.commit(result.bytes);
        readBudget -= result.bytes;
    }
}

void Link::parkFrame() {
    parser_.clearFrameReady();
    const int count = parser_.count();
    if (count > kMaxDeliverableCount) return;  // discarded, as on delivery
    const size_t at = parkedSize_.load();
    std::memcpy(parked_.data() + at, parser_.frame(), static_cast<size_t>(count) + 1);
    parkedSize_ = at + static_cast<size_t>(count) + 1;
}

// Frames parked by a request's preparation, oldest first; receive thread only.
void Link::deliverParked() {
    const size_t total = parkedSize_.load();
    for (size_t at = 0; at < total;) {
        const uint8_t *frame = parked_.data() + at;
        const uint16_t length = lengthField(frame);
        const size_t size = length < 3 ? 6 : length + 4u;  // as the parser counts
        deliver(frame, size, Answer::Stale);
        at += size;
    }
    parkedSize_ = 0;
}

void Link::resetReceiveState() {
    std::unique_lock lock(roleMutex_);
    // A callback of the role's holder may reopen; it must not wait for itself.
    if (receiverId_ != std::this_thread::get_id()) {
        roleChanged_.wait(lock, [this] { return receiver_ == Receiver::None; });
    }
    parser_.reset();
    pending_.clear();
    parkedSize_ = 0;
}

bool Link::waitForResponse(Command command, std::chrono::milliseconds timeout, Response &response) {
    const auto deadline = Clock::now() + timeout;
    // The first arrival decides; a wrong answer ends the wait.
    const bool arrived =
        transport_.pollFd() >= 0 ? receiveAnswer(deadline) : awaitDelivery(deadline);
    if (!arrived) return false;
    {
        std::lock_guard lock(slotMutex_);
        response.assign(slot_.data(), slotSize_);
    }
    const uint8_t *frame = response.frame_;
    if (frame[kResponseStatusOffset] != kStatusSuccess) return false;
    if (frame[kResponseCommandOffset] != static_cast<uint8_t>(command)) return false;
    if (!profile_.matchesAddress) return true;
    const uint8_t configured = readerAddress_.load();
    return configured == kAnyReader || configured == frame[kResponseAddressOffset];
}

bool Link::awaitDelivery(Clock::time_point deadline) {
    std::unique_lock lock(slotMutex_);
    return slotArrived_.wait_until(lock, deadline, [this] { return responseArrived_.load(); });
}

bool Link::receiveAnswer(Clock::time_point deadline) {
    ++answersAwaited_;
    const bool arrived = readOwnAnswer(deadline);
    lastAnswerEnd_ = Clock::now().time_since_epoch().count();
    --answersAwaited_;
    return arrived;
}

bool Link::readOwnAnswer(Clock::time_point deadline) {
    while (true) {
        {
            std::unique_lock lock(roleMutex_);
            // A frame left ready was handed to the receive thread; let it go first.
            const bool free = roleChanged_.wait_until(lock, deadline, [this] {
                return responseArrived_.load() ||
                       (receiver_ == Receiver::None && !parser_.frameReady());
            });
            if (responseArrived_.load()) return true;
            if (!free) return false;
            receiver_ = Receiver::Caller;
            receiverId_ = std::this_thread::get_id();
        }
        const bool linkAlive = answerPass(deadline);
        const bool leftOver = pending_.hasUnparsed(parser_) || parser_.frameReady();
        releaseReceiveRole();
        if (leftOver) wakeReceiveThread();
        if (responseArrived_.load()) return true;
        if (!linkAlive || Clock::now() >= deadline) return false;
    }
}

// One read of the waiting command, then its frames up to the first answer. Reports and
// what follows the answer are left to the receive thread. False when the link is gone.
bool Link::answerPass(Clock::time_point deadline) {
    if (!pending_.hasUnparsed(parser_)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const auto wait = std::clamp(left, std::chrono::milliseconds(0), kAnswerReadSlice);
        const size_t room = std::min(pending_.room(), profile_.readChunk);
        ReadResult result{ReadStatus::Lost, 0};
        {
            std::lock_guard lock(transportMutex_);  // against a close from another thread
            if (transport_.isOpen())
                result = transport_.read({pending_.writePosition(), room}, wait);
        }
        if (result.status == ReadStatus::Lost) return false;
        pending_.commit(result.bytes);
    }
    while (!responseArrived_.load() && pending_.pass(parser_)) {
        if (isReport(parser_)) break;
        deliverFrame();
    }
    return true;
}

bool Link::commandsReadingAnswers() const {
    const auto sinceLastAnswer = Clock::now().time_since_epoch().count() - lastAnswerEnd_.load();
    return answersAwaited_.load() > 0 ||
           sinceLastAnswer < std::chrono::duration_cast<Clock::duration>(kCommandLinger).count();
}

std::chrono::milliseconds Link::waitForInput(const std::stop_token &stop) {
    const int fd = transport_.pollFd();
    if (fd < 0 || receiveWake_.fd() < 0) return profile_.readWait;
    pollfd fds[2] = {{fd, POLLIN, 0}, {receiveWake_.fd(), POLLIN, 0}};
    while (!stop.stop_requested()) {
        const bool leaveToCommands = commandsReadingAnswers();
        fds[0].fd = leaveToCommands ? -1 : fd;  // poll skips a negative descriptor
        const int waitMs = leaveToCommands ? int(kCommandLinger.count()) : kIdlePollMs;
        if (::poll(fds, 2, waitMs) != 0) break;
    }
    // A wake is a stop or input a waiting command left behind; either way it is used up.
    if (fds[1].revents & POLLIN) receiveWake_.drain();
    return std::chrono::milliseconds(0);  // input, hang-up or stop: the read tells which
}

void Link::receiveLoop(std::stop_token stop) {
    receiveWake_.drain();  // signals meant for an earlier thread
    std::stop_callback wakeOnStop(stop, [this] { wakeReceiveThread(); });
    while (!stop.stop_requested()) {
        const auto wait = waitForInput(stop);
        if (stop.stop_requested() || !takeReceiveRole(stop)) break;
        const bool linkAlive = receivePass(wait);
        releaseReceiveRole();
        if (!linkAlive) {
            connected_ = false;
            break;
        }
    }
}

bool Link::receivePass(std::chrono::milliseconds wait) {
    // What a command left: frames its preparation found, a report it handed over, bytes behind
    // its answer.
    deliverParked();
    if (parser_.frameReady()) deliverFrame();
    deliverFrames();
    const size_t room = std::min(pending_.room(), profile_.readChunk);
    const ReadResult result = transport_.read({pending_.writePosition(), room}, wait);
    if (result.status == ReadStatus::Lost) return false;
    pending_.commit(result.bytes);
    deliverFrames();
    return true;
}

bool Link::takeReceiveRole(const std::stop_token &stop) {
    std::unique_lock lock(roleMutex_);
    if (!roleChanged_.wait(lock, stop, [this] { return receiver_ == Receiver::None; })) {
        return false;
    }
    receiver_ = Receiver::Thread;
    receiverId_ = std::this_thread::get_id();
    return true;
}

void Link::releaseReceiveRole() {
    {
        std::lock_guard lock(roleMutex_);
        receiver_ = Receiver::None;
        receiverId_ = {};
    }
    roleChanged_.notify_all();
}

void Link::wakeReceiveThread() {
    receiveWake_.signal();
}

void Link::deliverFrames() {
    while (pending_.pass(parser_)) deliverFrame();
}

void Link::deliverFrame() {
    const int count = parser_.count();
    parser_.clearFrameReady();
    if (count > kMaxDeliverableCount) return;
    deliver(parser_.frame(), static_cast<size_t>(count) + 1, Answer::Current);
}

void Link::deliver(const uint8_t *frame, size_t size, Answer answer) {
    // The traffic callback runs before the waiting command wakes, so a log shows the frame
    // received ahead of the command's outcome.
    const SerialNumber serial = serialNumber();
    notifyTraffic(0, frame, size, serial.data());
    if (frame[kResponseCommandOffset] == static_cast<uint8_t>(Command::ActiveReport)) {
        handleReport(frame);
        return;
    }
    if (answer == Answer::Stale) return;
    {
        std::lock_guard lock(slotMutex_);
        // The first arrival decides: a frame behind it must not replace the answer before the
        // waiting command has taken it. The next request clears the flag.
        if (responseArrived_) return;
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
    listener_.deliver(Channel::App, QN_EVENT_DATA, tagCount, callbackBuffer_.data(), length,
                      serial.data());
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
        if (!listener_.listening(Channel::App) && !listener_.listening(Channel::Traffic)) {
            continue;
        }
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
    listener_.deliver(Channel::App, event, 0, nullptr, 0, serial.data());
    listener_.deliver(Channel::Traffic, event, 0, nullptr, 0, serial.data());
}

void Link::notifyTraffic(int32_t value, const uint8_t *frame, size_t size, const uint8_t *serial) {
    listener_.deliver(Channel::Traffic, QN_EVENT_DATA, value, frame, static_cast<int32_t>(size),
                      serial);
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
    if (!profile_.hasTagBuffer) return 0;  // a handle of a transport that keeps none
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
    if (!profile_.hasTagBuffer) return false;
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
