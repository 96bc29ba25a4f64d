// Arbitrary inventory results from a reader: the walk stays inside the buffer, the byte count
// and the largest result, and every body it yields decodes (or is refused) under each page's
// rules into no more EPC bytes than a decoded sighting holds.
#include <cassert>

#include "tag_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const auto byteLength = static_cast<uint16_t>(data[0] << 8 | data[1]);
    const std::span<const uint8_t> records(data + 2, size - 2);
    size_t walked = 0;
    for (const tagrecord::Bytes &body : tagrecord::walk(records, byteLength)) {
        walked += body.size() + 1;
        for (const auto &rules :
             {tagrecord::plainRules, tagrecord::temperatureRules, tagrecord::activeRules}) {
            if (const auto record = tagrecord::decode(body, rules))
                assert(record->epc.size() + 3 <= body.size() &&
                       record->epc.size() <= tagrecord::longestEpc);
        }
    }
    assert(walked <= tagrecord::recordBytesLimit && walked <= records.size() &&
           walked <= byteLength);
    return 0;
}
