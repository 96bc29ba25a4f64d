#include "frame.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "debug_log.h"

namespace qn {

namespace {
std::atomic<uint32_t> g_checksumErrors{0};
}

uint8_t checksum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    return static_cast<uint8_t>(-sum);
}

size_t buildRequest(uint8_t address, uint8_t command, std::span<const uint8_t> data,
                    std::span<uint8_t> out) {
    const size_t total = data.size() + kRequestOverhead;
    if (data.size() > kMaxRequestData || out.size() < total) return 0;
    const size_t length = data.size() + 3;
    out[0] = kRequestHeader0;
    out[1] = kRequestHeader1;
    out[2] = static_cast<uint8_t>(length >> 8);
    out[3] = static_cast<uint8_t>(length);
    out[4] = address;
    out[5] = command;
    if (!data.empty()) std::memcpy(&out[6], data.data(), data.size());
    out[total - 1] = checksum(out.first(total - 1));
    return total;
}

size_t buildResponse(uint8_t address, uint8_t command, uint8_t status,
                     std::span<const uint8_t> data, std::span<uint8_t> out) {
    const size_t total = data.size() + 8;
    const size_t length = data.size() + 4;
    if (length > 0xFFFF || out.size() < total) return 0;
    out[0] = kResponseHeader0;
    out[1] = kResponseHeader1;
    out[2] = static_cast<uint8_t>(length >> 8);
    out[3] = static_cast<uint8_t>(length);
    out[4] = address;
    out[5] = command;
    out[6] = status;
    if (!data.empty()) std::memcpy(&out[7], data.data(), data.size());
    out[total - 1] = checksum(out.first(total - 1));
    return total;
}

void ReceiveParser::reset() {
    state_ = 0;
    count_ = 0;
    expected_ = 0;
    frameReady_ = false;
    replayStart_ = 0;
    replaySize_ = 0;
}

uint32_t ReceiveParser::checksumErrors() {
    return g_checksumErrors.load();
}

bool ReceiveParser::feed(uint8_t b) {
    if (replaySize_ == 0) {
        if (step(b)) return true;
        return resume();  // a false header may have queued bytes
    }
    if (replayStart_ + replaySize_ == sizeof replay_) {
        std::memmove(replay_, replay_ + replayStart_, replaySize_);
        replayStart_ = 0;
    }
    if (replaySize_ < sizeof replay_) replay_[replayStart_ + replaySize_++] = b;
    return resume();
}

bool ReceiveParser::resume() {
    while (replaySize_ > 0) {
        const uint8_t b = replay_[replayStart_++];
        --replaySize_;
        if (step(b)) return true;
    }
    replayStart_ = 0;
    return false;
}

bool ReceiveParser::step(uint8_t b) {
    switch (state_) {
        case 0:
            count_ = 0;
            if (b == kResponseHeader0) {
                buffer_[count_++] = b;
                state_ = 1;
            }
            return false;
        case 1:
            if (b == kResponseHeader1) {
                buffer_[count_++] = b;
                state_ = 2;
            } else {
                resynchronise(&b);  // this byte may itself start a header
            }
            return false;
        case 2:
            buffer_[count_++] = b;
            state_ = 3;
            return false;
        case 3:
            buffer_[count_++] = b;
            expected_ = static_cast<uint16_t>(buffer_[2] << 8 | b);
            if (expected_ > kMaxLengthField) {
                resynchronise(nullptr);
            } else {
                state_ = 4;
            }
            return false;
        case 4:
            buffer_[count_++] = b;
            state_ = 5;
            return false;
        default:
            // Signed arithmetic on purpose: length fields 0..2 make the byte after the
            // address the checksum.
            if (int(count_) - 4 < int(expected_) - 1) {
                buffer_[count_++] = b;
                return false;
            }
            if (!finishFrame(b)) {
                resynchronise(&b);
                return false;
            }
            state_ = 0;
            return true;
    }
}

void ReceiveParser::resynchronise(const uint8_t *last) {
    const size_t taken = count_ > 0 ? count_ - 1u : 0u;  // all but the false 'J'
    const size_t incoming = taken + (last ? 1 : 0);
    // Room in front of the queued bytes: move them back when there is too little.
    if (replayStart_ < incoming) {
        const size_t kept = std::min(replaySize_, sizeof replay_ - incoming);
        std::memmove(replay_ + incoming, replay_ + replayStart_, kept);
        replayStart_ = incoming;
        replaySize_ = kept;
    }
    replayStart_ -= incoming;
    replaySize_ += incoming;
    std::memcpy(replay_ + replayStart_, buffer_ + 1, taken);
    if (last) replay_[replayStart_ + taken] = *last;
    state_ = 0;
    count_ = 0;
}

bool ReceiveParser::finishFrame(uint8_t checksumByte) {
    buffer_[count_] = checksumByte;
    if (checksum({buffer_, count_}) == checksumByte) {
        frameReady_ = true;
        return true;
    }
    const uint32_t errors = ++g_checksumErrors;
    debugLog("sum error=%u\r\n", errors);
    return false;
}

PendingInput::PendingInput(size_t capacity) : buffer_(new uint8_t[capacity]), capacity_(capacity) {}

PendingInput::~PendingInput() {
    delete[] buffer_;
}

bool PendingInput::pass(ReceiveParser &parser) {
    if (parser.resume()) return true;
    for (size_t i = 0; i < size_; ++i) {
        if (parser.feed(buffer_[i])) {
            const size_t rest = size_ - i - 1;
            std::memmove(buffer_, buffer_ + i + 1, rest);
            size_ = rest;
            return true;
        }
    }
    size_ = 0;
    return false;
}

}  // namespace qn
