// Arbitrary inventory results from a reader: the walk stays inside the buffer and the 1400-byte
// bound, and every body it yields decodes (or is refused) under each page's rules.
#include <cassert>

#include "tag_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    const auto byteLength = static_cast<uint16_t>(data[0] << 8 | data[1]);
    const auto count = static_cast<uint16_t>(data[2] << 8 | data[3]);
    const std::span<const uint8_t> records(data + 4, size - 4);
    size_t walked = 0;
    for (const tagrecord::Bytes &body : tagrecord::walkInventory(records, byteLength, count)) {
        walked += body.size() + 1;
        for (const auto &rules :
             {tagrecord::plainRules, tagrecord::temperatureRules, tagrecord::activeRules}) {
            if (const auto record = tagrecord::decode(body, rules))
                assert(record->epc.size() + 3 <= body.size());
        }
    }
    assert(walked <= tagrecord::walkByteLimit && walked <= records.size());
    return 0;
}
