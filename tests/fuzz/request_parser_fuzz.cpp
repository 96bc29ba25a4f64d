// Arbitrary bytes from a client of the virtual reader: every frame the request parser hands
// on must be whole, check out, and decode.
#include <cassert>

#include "frame.h"
#include "request_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    readersim::RequestParser parser;
    parser.feed({data, size}, [](const readersim::Bytes &frame) {
        assert(frame.size() >= 7);
        assert(qn::checksum({frame.data(), frame.size() - 1}) == frame.back());
        assert(readersim::decodeRequest(frame).has_value());
    });
    return 0;
}
