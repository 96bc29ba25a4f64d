// Frame layouts of the reader protocol and the byte-wise receive parser.
//
// Request  (host -> reader): "ZK", length (BE, = n + 3), address, command, n data bytes, checksum.
// Response (reader -> host): "JQ", length L (BE), address, command, status, L - 4 data bytes,
//                            checksum.
// The checksum is the two's complement of the 8-bit sum of every byte before it, so a whole
// valid frame sums to zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qn {

inline constexpr uint8_t kRequestHeader0 = 0x5A;   // 'Z'
inline constexpr uint8_t kRequestHeader1 = 0x4B;   // 'K'
inline constexpr uint8_t kResponseHeader0 = 0x4A;  // 'J'
inline constexpr uint8_t kResponseHeader1 = 0x51;  // 'Q'

inline constexpr size_t kRequestBufferSize = 1560;
inline constexpr size_t kRequestOverhead = 7;  // header, length, address, command, checksum
inline constexpr size_t kMaxRequestData = kRequestBufferSize - kRequestOverhead;  // 1553
inline constexpr size_t kParserBufferSize = 8192;
inline constexpr size_t kResponseSlotSize = 4096;
// The parser follows a length field up to this value ...
inline constexpr int kMaxLengthField = 1560;
// ... but delivers a frame only when its bytes before the checksum fit this limit.
inline constexpr int kMaxDeliverableCount = 1460;

// Offsets into a response frame.
inline constexpr size_t kResponseAddressOffset = 4;
inline constexpr size_t kResponseCommandOffset = 5;
inline constexpr size_t kResponseStatusOffset = 6;
inline constexpr size_t kResponseDataOffset = 7;

uint8_t checksum(std::span<const uint8_t> bytes);

// Writes a request frame into `out` (at least n + 7 bytes) and returns its size,
// or 0 when `data` is longer than kMaxRequestData.
size_t buildRequest(uint8_t address, uint8_t command, std::span<const uint8_t> data,
                    std::span<uint8_t> out);

// Writes a response frame (as a reader sends it) into `out` and returns its size, or 0 when
// it does not fit. Used by the virtual reader and by tests.
size_t buildResponse(uint8_t address, uint8_t command, uint8_t status,
                     std::span<const uint8_t> data, std::span<uint8_t> out);

// Length field of a frame (either direction) whose first four bytes are present.
inline uint16_t lengthField(const uint8_t *frame) {
    return static_cast<uint16_t>(frame[2] << 8 | frame[3]);
}

// Byte-wise receive parser for response frames. It keeps the six states of the link layer:
// hunting for 'J', expecting 'Q', two length bytes, the address byte, then the body up to and
// including the checksum. When a header turns out false (a byte other than 'Q' after 'J', an
// impossible length, a bad checksum), parsing resumes from the byte after the false 'J': the
// bytes it had taken are fed again from a replay queue, so a real frame among them is found.
class ReceiveParser {
  public:
    // Feeds the byte behind any replayed bytes and parses until a frame completes or nothing
    // is left. Returns true when a frame with a good checksum completed; bytes behind it stay
    // queued for `resume`.
    bool feed(uint8_t byte);
    // Parses queued bytes until a frame completes (true) or none are left (false).
    bool resume();
    bool hasBacklog() const { return replaySize_ > 0; }
    void reset();

    bool frameReady() const { return frameReady_; }
    void clearFrameReady() { frameReady_ = false; }
    // The completed frame: `count()` bytes before the checksum, then the checksum.
    const uint8_t *frame() const { return buffer_; }
    int count() const { return count_; }
    int frameSize() const { return count_ + 1; }
    int state() const { return state_; }

    // Frames dropped for a bad checksum since the process started, over all parsers.
    static uint32_t checksumErrors();

  private:
    // One byte through the state machine; true when it completed a good frame.
    bool step(uint8_t byte);
    // The header at buffer_[0] was false: its later bytes (and `last`, when given) go to the
    // front of the replay queue.
    void resynchronise(const uint8_t *last);
    bool finishFrame(uint8_t checksumByte);

    uint8_t buffer_[kParserBufferSize] = {};
    uint16_t count_ = 0;
    uint16_t expected_ = 0;
    int state_ = 0;
    bool frameReady_ = false;
    // Bytes taken by a false header, parsed again before any new byte. A false header holds
    // at most kMaxLengthField + 4 bytes and new bytes are fed only once the queue is empty
    // (or while it shrinks by a whole frame), so it never comes near its size.
    uint8_t replay_[kParserBufferSize] = {};
    size_t replayStart_ = 0;
    size_t replaySize_ = 0;
};

// The pending input of a receive thread: bytes read but not yet parsed. One pass feeds the
// parser up to the first completed frame and keeps the rest for the next pass, so at most
// one frame is delivered per pass.
class PendingInput {
  public:
    explicit PendingInput(size_t capacity);
    ~PendingInput();
    PendingInput(const PendingInput &) = delete;
    PendingInput &operator=(const PendingInput &) = delete;

    // Room left for the next read and where it goes.
    uint8_t *writePosition() { return buffer_ + size_; }
    size_t room() const { return capacity_ - size_; }
    void commit(size_t bytesRead) { size_ += bytesRead; }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }

    // Feeds the parser (bytes it queued for replay first); returns true when a frame
    // completed (the parser then holds it).
    bool pass(ReceiveParser &parser);
    // Bytes wait here or in the parser's replay queue.
    bool hasUnparsed(const ReceiveParser &parser) const { return size_ > 0 || parser.hasBacklog(); }

  private:
    uint8_t *buffer_;
    size_t capacity_;
    size_t size_ = 0;
};

}  // namespace qn
