// Arbitrary bytes through the receive passes a reader library runs on its input: the parser
// must never write past its buffer, and every frame it reports must check out.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qn::ReceiveParser parser;
    qn::PendingInput pending(4096);
    while (size > 0) {
        const size_t chunk = std::min<size_t>({size, pending.room(), 300});
        std::memcpy(pending.writePosition(), data, chunk);
        pending.commit(chunk);
        data += chunk;
        size -= chunk;
        while (pending.pass(parser)) {
            assert(parser.count() <= qn::kMaxLengthField + 3);
            assert(qn::checksum({parser.frame(), size_t(parser.count())}) ==
                   parser.frame()[parser.count()]);
            parser.clearFrameReady();
        }
    }
    return 0;
}
