// EPCs of any bytes, as tags in the field deliver them: the decoder stays inside the bytes,
// hex text of the same bytes decodes alike, and every URI it gives is one URI part per field
// with nothing a URI must not hold bare.
#include <cassert>
#include <string>
#include <string_view>

#include "gs1_epc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::span<const uint8_t> epc(data, size);
    const auto identity = gs1::decode(epc);
    std::string hex;
    for (const uint8_t byte : epc) {
        constexpr char digits[] = "0123456789abcdef";
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    const auto fromHex = gs1::decodeHex(hex);
    assert(identity.has_value() == fromHex.has_value());
    if (!identity) return 0;
    assert(identity->uri == fromHex->uri);
    assert(identity->uri.rfind("urn:epc:id:", 0) == 0);
    assert(identity->uri.find_first_of("\"&/<>? #") == std::string::npos);
    return 0;
}
