// Arbitrary reader output through an open link while a command waits: frames of any length
// field, address, echo and status, active reports and stray bytes, read in chunks of any size.
// Every frame the link passes on checks out; every report reaches the callback and the tag
// buffer whole; every result lands in a caller's buffer of its documented size, taken from the
// first answer and never from bytes that answer did not carry; a failed command writes nothing.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>
#include <optional>
#include <vector>

#include "commands.h"
#include "frame.h"
#include "link.h"

namespace {

using Bytes = std::vector<uint8_t>;
using qn::Command;

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kInventoryBufferSize = 1451;
constexpr size_t kWhiteListBufferSize = 1452;
constexpr size_t kTagBufferCallerSize = 48548;

// What one command's wait reads; the end of the bytes is a lost link, so the wait ends there.
class StreamTransport final : public qn::Transport {
  public:
    explicit StreamTransport(const qn::TransportProfile &profile) : profile_(profile) {}
    ~StreamTransport() override { ::close(idleFd_); }

    void load(Bytes stream) {
        stream_ = std::move(stream);
        position_ = 0;
    }

    const qn::TransportProfile &profile() const override { return profile_; }
    bool open() override {
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(std::span<const uint8_t>) override { return true; }
    qn::ReadResult read(std::span<uint8_t> buffer, std::chrono::milliseconds) override {
        if (position_ == stream_.size()) return {qn::ReadStatus::Lost, 0};
        const size_t count = std::min(buffer.size(), stream_.size() - position_);
        std::memcpy(buffer.data(), stream_.data() + position_, count);
        position_ += count;
        return {qn::ReadStatus::Data, count};
    }
    // Never readable: the receive thread reads only what a waiting command hands it.
    int pollFd() const override { return idleFd_; }

  private:
    const qn::TransportProfile &profile_;
    std::atomic<bool> open_{false};
    Bytes stream_;
    size_t position_ = 0;
    int idleFd_ = ::eventfd(0, EFD_CLOEXEC);
};

// What the callbacks saw, and what the tag buffer must hold after it.
struct Observed {
    std::vector<Bytes> received;
    Bytes tagRecords;
    int32_t tagCount = 0;
};
Observed *observed = nullptr;

void onTraffic(int32_t event, int32_t value, const uint8_t *data, int32_t length, const uint8_t *) {
    if (event != QN_EVENT_DATA || value != 0) return;
    assert(data && length >= 6 && length <= qn::kMaxDeliverableCount + 1);
    const Bytes frame(data, data + length);
    assert(frame[0] == qn::kResponseHeader0 && frame[1] == qn::kResponseHeader1);
    assert(size_t(length) == std::max<size_t>(6, qn::lengthField(data) + 4u));
    assert(qn::checksum({data, size_t(length) - 1}) == frame.back());
    observed->received.push_back(frame);
}

// The report was announced to the traffic callback just before, on the same thread.
void onReport(int32_t event, int32_t value, const uint8_t *data, int32_t length,
              const uint8_t *serial7) {
    if (event != QN_EVENT_DATA) return;
    const Bytes &frame = observed->received.back();
    const uint16_t lengthField = qn::lengthField(frame.data());
    assert(frame[qn::kResponseCommandOffset] == uint8_t(Command::ActiveReport));
    assert(length == lengthField && length >= 12);
    assert(value == frame[14]);
    assert(std::equal(serial7, serial7 + 7, frame.begin() + 7));
    const size_t recordBytes = size_t(length) - 12;
    assert(std::equal(data, data + recordBytes, frame.begin() + 15));
    assert(std::all_of(data + recordBytes, data + length, [](uint8_t b) { return b == 0; }));
    if (observed->tagRecords.size() < qn::Link::kTagBufferFillLimit) {
        observed->tagRecords.insert(observed->tagRecords.end(), data, data + recordBytes);
        observed->tagCount += value;
    }
}

// A frame as the parser reads it: "JQ", the length field, then max(5, length + 3) bytes in all
// before the checksum (command, status and data as far as they reach).
void appendFrame(Bytes &stream, uint16_t length, uint8_t address, uint8_t command, uint8_t status,
                 FuzzedDataProvider &input) {
    const size_t start = stream.size();
    const size_t count = std::max<size_t>(5, length + 3u);
    stream.insert(stream.end(), {qn::kResponseHeader0, qn::kResponseHeader1, uint8_t(length >> 8),
                                 uint8_t(length), address});
    if (count > 5) stream.push_back(command);
    if (count > 6) stream.push_back(status);
    Bytes data = input.ConsumeBytes<uint8_t>(count - std::min<size_t>(count, 7));
    data.resize(count - std::min<size_t>(count, 7));
    stream.insert(stream.end(), data.begin(), data.end());
    stream.push_back(qn::checksum({stream.data() + start, count}));
}

Bytes readerOutput(FuzzedDataProvider &input, Command command) {
    Bytes stream;
    const int pieces = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < pieces && input.remaining_bytes(); ++i) {
        const auto length = input.ConsumeIntegralInRange<uint16_t>(0, qn::kMaxLengthField + 40);
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0: {
                const Bytes stray = input.ConsumeBytes<uint8_t>(input.ConsumeIntegral<uint8_t>());
                stream.insert(stream.end(), stray.begin(), stray.end());
                break;
            }
            case 1:
                appendFrame(stream, length, input.ConsumeIntegral<uint8_t>(),
                            input.ConsumeIntegral<uint8_t>(), input.ConsumeIntegral<uint8_t>(),
                            input);
                break;
            case 2:
                appendFrame(stream, length, input.ConsumeIntegral<uint8_t>(), uint8_t(command), 1,
                            input);
                break;
            default:
                appendFrame(stream, std::max<uint16_t>(length, 12), 0xFF,
                            uint8_t(Command::ActiveReport), input.ConsumeIntegral<uint8_t>(),
                            input);
        }
    }
    return stream;
}

// The data bytes the first answer carried, as far as its length field claims them.
struct Answer {
    Bytes frame;
    Bytes data;
    uint8_t byte(size_t index) const { return index < data.size() ? data[index] : 0; }
    uint16_t word(size_t index) const { return uint16_t(byte(index) << 8 | byte(index + 1)); }
    // `out` holds the data from `offset` on, then zeros.
    bool copiedTo(const uint8_t *out, size_t count, size_t offset) const {
        for (size_t i = 0; i < count; ++i) {
            if (out[i] != byte(offset + i)) return false;
        }
        return true;
    }
};

std::optional<Answer> firstAnswer(size_t from) {
    for (size_t i = from; i < observed->received.size(); ++i) {
        const Bytes &frame = observed->received[i];
        if (frame[qn::kResponseCommandOffset] == uint8_t(Command::ActiveReport)) continue;
        const size_t carried = frame.size() > 8 ? frame.size() - 8 : 0;
        const uint16_t lengthField = qn::lengthField(frame.data());
        const size_t declared = lengthField >= 4 ? lengthField - 4u : 0;
        Bytes data(frame.begin() + 7, frame.begin() + 7 + std::min(carried, declared));
        return Answer{frame, std::move(data)};
    }
    return std::nullopt;
}

bool untouched(const Bytes &buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == kCanary; });
}

// One command of those that copy results out, into buffers of exactly their documented size.
struct Call {
    Command command;
    Bytes out;
    uint16_t first = 0;   // a count or length result, or the white-list selector
    uint16_t second = 0;  // a second count
    uint8_t lead = 0;
    int result = 0;
};

constexpr Command kCommands[] = {Command::InventoryG2,   Command::GetDevCache,
                                 Command::ReadWhiteList, Command::ReadDeviceNetParam,
                                 Command::ReadCardG2,    Command::GetGPS};

Call runCall(qn::Link &link, Command command, uint8_t address, FuzzedDataProvider &input) {
    using namespace qn::commands;
    Call call{.command = command};
    switch (command) {
        case Command::InventoryG2:
            call.out.assign(kInventoryBufferSize, kCanary);
            call.result = inventoryG2(link, address, call.out.data(), &call.first, &call.second);
            break;
        case Command::GetDevCache:
            call.out.assign(kInventoryBufferSize, kCanary);
            call.result = getDevCache(link, address, &call.second, call.out.data(), &call.first);
            break;
        case Command::ReadWhiteList:
            call.out.assign(kWhiteListBufferSize, kCanary);
            call.first = input.ConsumeIntegral<uint16_t>();
            call.result = readWhiteList(link, address, call.out.data(), &call.first);
            break;
        case Command::ReadDeviceNetParam: {
            const auto length = input.ConsumeIntegralInRange<uint8_t>(1, 255);
            call.out.assign(length, kCanary);
            call.result =
                readRecord(link, Record::Net, address, &call.lead, call.out.data(), length);
            break;
        }
        case Command::ReadCardG2: {
            const auto words = input.ConsumeIntegral<uint8_t>();
            call.out.assign(words * 2u, kCanary);
            const uint8_t password[4] = {};
            call.result = readCardG2(link, address, password, 1, 0, words, call.out.data());
            break;
        }
        default:
            call.out.assign(1024, kCanary);
            call.result = readFixed(link, Command::GetGPS, address, call.out.data(), 1024);
    }
    return call;
}

void checkCall(const Call &call, const std::optional<Answer> &answer, uint8_t address,
               bool matchesAddress) {
    if (!call.result) {
        assert(untouched(call.out));
        return;
    }
    assert(answer && answer->frame.size() > qn::kResponseStatusOffset);
    assert(answer->frame[qn::kResponseStatusOffset] == 1);
    assert(answer->frame[qn::kResponseCommandOffset] == uint8_t(call.command));
    assert(!matchesAddress || address == 0xFF ||
           answer->frame[qn::kResponseAddressOffset] == address);
    switch (call.command) {
        case Command::InventoryG2:
        case Command::GetDevCache:
            assert(call.first <= call.out.size());
            assert(call.first == 0 || call.first + 2u <= answer->data.size());
            assert(answer->copiedTo(call.out.data(), call.first, 2));
            assert(call.second == answer->word(0));
            assert(std::all_of(call.out.begin() + call.first, call.out.end(),
                               [](uint8_t b) { return b == kCanary; }));
            break;
        case Command::ReadWhiteList:
            assert(call.first * 4u <= call.out.size() && call.first <= answer->word(0));
            assert(answer->copiedTo(call.out.data(), call.first * 4u, 2));
            break;
        case Command::ReadDeviceNetParam:
            assert(call.lead == answer->byte(0));
            assert(answer->copiedTo(call.out.data(), call.out.size(), 3));
            break;
        default:
            assert(answer->copiedTo(call.out.data(), call.out.size(), 0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const qn::TransportProfile profile{
        .kind = qn::TransportKind::Serial,
        .settleDelay = std::chrono::milliseconds(0),
        .monitorPeriod = std::chrono::hours(1),
        .readWait = std::chrono::milliseconds(0),
        .pendingCapacity = input.ConsumeIntegralInRange<size_t>(31, 8192),
        .readChunk = input.ConsumeIntegralInRange<size_t>(1, 1100),
        .hasTagBuffer = true,
        .matchesAddress = input.ConsumeBool(),
    };
    Observed seen;
    observed = &seen;
    StreamTransport transport(profile);
    qn::PlainCallbacks callbacks;
    callbacks.set(qn::Channel::Traffic, onTraffic);
    callbacks.set(qn::Channel::App, onReport);
    qn::Link link(transport, callbacks);
    for (int segment = 0; segment < 4 && input.remaining_bytes(); ++segment) {
        const Command command = input.PickValueInArray(kCommands);
        const uint8_t address = input.ConsumeBool() ? 0xFF : input.ConsumeIntegral<uint8_t>();
        transport.load(readerOutput(input, command));
        const size_t from = seen.received.size();
        const bool opened = link.open();
        assert(opened);
        const Call call = runCall(link, command, address, input);
        link.close();  // the receive thread has delivered what it will
        checkCall(call, firstAnswer(from), address, profile.matchesAddress);
    }
    Bytes records(kTagBufferCallerSize, kCanary);
    int32_t byteCount = -1;
    int32_t tagCount = -1;
    link.drainTagBuffer(records.data(), &byteCount, &tagCount);
    assert(size_t(byteCount) == seen.tagRecords.size() && tagCount == seen.tagCount);
    assert(std::equal(seen.tagRecords.begin(), seen.tagRecords.end(), records.begin()));
    observed = nullptr;
    return 0;
}
