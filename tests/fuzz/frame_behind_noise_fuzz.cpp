// A valid frame between two runs of noise: noise + frame + noise, each cut from the input and
// fed in chunks of input-chosen sizes through the receive passes. When no valid frame starts
// in the noise (and every false header in front is decided within the bytes given), the frame
// must be delivered exactly once, whatever the noise in front made of its bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cassert>
#include <cstring>
#include <vector>

#include "frame.h"

namespace {

using Bytes = std::vector<uint8_t>;

// How many bytes a frame with this length field occupies: length fields 0 to 2 make the byte
// after the address the checksum.
size_t frameSizeFor(size_t lengthField) {
    return lengthField < 3 ? 6 : lengthField + 4;
}

// True when the bytes from `start` on form a whole frame with a good checksum; `decided` is
// cleared when they begin a header whose frame runs past the end of the bytes.
bool validFrameAt(const Bytes &bytes, size_t start, bool &decided) {
    if (start + 1 >= bytes.size() || bytes[start] != qn::kResponseHeader0 ||
        bytes[start + 1] != qn::kResponseHeader1) {
        return false;
    }
    if (start + 4 > bytes.size()) {
        decided = false;
        return false;
    }
    const size_t lengthField = size_t{bytes[start + 2]} << 8 | bytes[start + 3];
    if (lengthField > size_t(qn::kMaxLengthField)) return false;
    const size_t size = frameSizeFor(lengthField);
    if (start + size > bytes.size()) {
        decided = false;
        return false;
    }
    uint8_t sum = 0;
    for (size_t i = start; i < start + size; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const Bytes before = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 3000));
    const Bytes body = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 64));
    const uint8_t command = input.ConsumeIntegral<uint8_t>();
    const Bytes after = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 100));
    const size_t chunk = input.ConsumeIntegralInRange<size_t>(1, 512);

    Bytes frame(body.size() + 8);
    frame.resize(qn::buildResponse(0xFF, command, 0x01, body, frame));

    Bytes stream = before;
    stream.insert(stream.end(), frame.begin(), frame.end());
    stream.insert(stream.end(), after.begin(), after.end());
    bool decided = true;
    for (size_t start = 0; start < before.size(); ++start) {
        if (validFrameAt(stream, start, decided)) return 0;  // the noise holds a frame
    }
    if (!decided) return 0;  // a false header in front still waits for bytes
    for (size_t start = before.size() + frame.size(); start < stream.size(); ++start) {
        bool ignored = true;
        if (validFrameAt(stream, start, ignored)) return 0;  // so does the noise behind
    }

    qn::ReceiveParser parser;
    qn::PendingInput pending(4096);
    int delivered = 0;
    for (size_t offset = 0; offset < stream.size();) {
        const size_t taken = std::min({chunk, stream.size() - offset, pending.room()});
        std::memcpy(pending.writePosition(), stream.data() + offset, taken);
        pending.commit(taken);
        offset += taken;
        while (pending.pass(parser)) {
            assert(parser.frameSize() == int(frame.size()));
            assert(std::memcmp(parser.frame(), frame.data(), frame.size()) == 0);
            ++delivered;
            parser.clearFrameReady();
        }
    }
    assert(delivered == 1);
    return 0;
}
