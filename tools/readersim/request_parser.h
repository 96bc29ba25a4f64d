// Byte-wise parser of request frames as a reader receives them: "ZK", big-endian length
// (= data bytes + 3), address, command, data, checksum. Anything that is not a valid frame is
// skipped and the parser hunts for the next "ZK", so garbage on the line never wedges it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace readersim {

using Bytes = std::vector<uint8_t>;

struct Request {
    uint8_t address = 0;
    uint8_t command = 0;
    Bytes data;
};

class RequestParser {
  public:
    // Largest length field accepted: the host assembles requests in 1560 bytes.
    static constexpr size_t kMaxLengthField = 1556;

    // Feeds bytes; `onFrame` gets every complete frame with a good checksum, whole.
    template <typename OnFrame>
    void feed(std::span<const uint8_t> bytes, OnFrame &&onFrame) {
        for (uint8_t byte : bytes) {
            feedByte(byte);
            for (const Bytes &frame : completed_) onFrame(frame);
            completed_.clear();
        }
    }
    void reset();
    uint64_t checksumErrors() const { return checksumErrors_; }

  private:
    void feedByte(uint8_t byte);
    // After a broken frame, its bytes after the first are searched again for a header, so
    // a frame that started inside the broken one is not lost.
    void rescanAfterFirstByte();

    void store(uint8_t byte) { buffer_[size_++] = byte; }

    std::array<uint8_t, kMaxLengthField + 4> buffer_{};
    size_t size_ = 0;
    std::vector<Bytes> completed_;
    size_t expected_ = 0;  // total frame size once the length field is known
    uint64_t checksumErrors_ = 0;
};

// Splits a whole request frame into its fields; nothing when it is not a well-formed frame.
std::optional<Request> decodeRequest(std::span<const uint8_t> frame);

}  // namespace readersim
