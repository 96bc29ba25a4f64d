#include "request_parser.h"

#include "frame.h"

namespace readersim {

void RequestParser::reset() {
    size_ = 0;
    expected_ = 0;
}

void RequestParser::rescanAfterFirstByte() {
    const Bytes broken(buffer_.begin() + 1, buffer_.begin() + static_cast<std::ptrdiff_t>(size_));
    reset();
    for (uint8_t byte : broken) feedByte(byte);
}

void RequestParser::feedByte(uint8_t byte) {
    switch (size_) {
        case 0:
            if (byte == qn::kRequestHeader0) store(byte);
            return;
        case 1:
            if (byte == qn::kRequestHeader1) {
                store(byte);
            } else if (byte != qn::kRequestHeader0) {
                reset();  // a repeated 'Z' keeps its place as a possible header start
            }
            return;
        case 2:
            store(byte);
            return;
        case 3: {
            store(byte);
            const size_t length = qn::lengthField(buffer_.data());
            // Address, command and checksum are always present.
            if (length < 3 || length > kMaxLengthField) {
                rescanAfterFirstByte();
                return;
            }
            expected_ = length + 4;
            return;
        }
        default:
            store(byte);
            if (size_ < expected_) return;
            if (qn::checksum(std::span(buffer_).first(size_ - 1)) == buffer_[size_ - 1]) {
                completed_.emplace_back(buffer_.begin(),
                                        buffer_.begin() + static_cast<std::ptrdiff_t>(size_));
                reset();
                return;
            }
            ++checksumErrors_;
            rescanAfterFirstByte();
            return;
    }
}

std::optional<Request> decodeRequest(std::span<const uint8_t> frame) {
    if (frame.size() < qn::kRequestOverhead || frame[0] != qn::kRequestHeader0 ||
        frame[1] != qn::kRequestHeader1)
        return std::nullopt;
    if (static_cast<size_t>(qn::lengthField(frame.data())) + 4 != frame.size()) return std::nullopt;
    if (qn::checksum(frame.first(frame.size() - 1)) != frame.back()) return std::nullopt;
    Request request;
    request.address = frame[4];
    request.command = frame[5];
    request.data.assign(frame.begin() + 6, frame.end() - 1);
    return request;
}

}  // namespace readersim
