// Arbitrary parameter records as a reader returns them (any length, any bytes) through the
// decoders the parameter pages show them with (the device record's table for every family),
// and back through the encoders the pages write with. Decoding never reads past the record; a rebuilt record keeps every plain byte
// field the page owns, a second round trip changes nothing, and a record built shorter is the
// start of the whole one.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "param_records.h"
#include "params/NetParamRecord.h"
#include "params/RecordBuffer.h"
#include "params/SpecialParamRecord.h"

namespace {

using Record = std::vector<std::uint8_t>;

size_t expectedSize(int length) {
    return size_t(std::clamp(length, 0, paramrecord::capacity));
}

// Byte `index` of the record as a decoder reads it: past its end, 0.
std::uint8_t byteAt(const Record &record, size_t index) {
    return index < record.size() ? record[index] : 0;
}

// A record built at any length is the start of the whole record; the whole record read and
// built again is itself.
template <typename Build>
Record checkLengths(const Record &record, int length, Build build) {
    const Record whole = build(record, paramrecord::capacity);
    assert(whole.size() == size_t(paramrecord::capacity));
    assert(build(whole, paramrecord::capacity) == whole);
    const Record cut = build(record, length);
    assert(cut.size() == expectedSize(length));
    assert(std::equal(cut.begin(), cut.end(), whole.begin()));
    return whole;
}

void checkKept(const Record &record, const Record &rebuilt, std::initializer_list<int> indexes) {
    for (const int index : indexes) assert(rebuilt[index] == byteAt(record, index));
}

// The family's values of the record written into a zeroed record of `size` bytes.
Record rebuiltDevice(const Record &bytes, readerfamily::Family family, int size) {
    Record built(expectedSize(size), 0);
    record::encode(record::deviceRecord, record::decode(record::deviceRecord, bytes, family),
                   family, built);
    return built;
}

void checkDevice(const Record &record, readerfamily::Family family, int length) {
    const Record rebuilt = checkLengths(record, length, [&](const Record &bytes, int size) {
        return rebuiltDevice(bytes, family, size);
    });
    checkKept(record, rebuilt, {0, 1, 3, 4, 6, 7, 8, 9, 10, 11, 12});
    if (record::find(record::deviceRecord, record::antennaField(1), family))
        checkKept(record, rebuilt, {19});
}

void checkNet(const Record &record, bool gprsFields, int length) {
    const Record rebuilt = checkLengths(record, length, [&](const Record &bytes, int size) {
        return netparam::buildRecord(netparam::showRecord(bytes), gprsFields, size);
    });
    // MAC, four addresses, two ports, heartbeat.
    for (int index = 0; index < 26; ++index) checkKept(record, rebuilt, {index});
    checkKept(record, rebuilt, {28});
    if (gprsFields) checkKept(record, rebuilt, {126});
}

void checkSpecial(const Record &record, int length) {
    const Record rebuilt = checkLengths(record, length, [](const Record &bytes, int size) {
        return specialparam::buildRecord(specialparam::showRecord(bytes), size);
    });
    // Password, mask start, relay time, protocol, condition.
    checkKept(record, rebuilt, {1, 2, 3, 4, 6, 21, 24, 25});
    const int maskLength = std::min<int>(byteAt(record, 19), specialparam::maskCapacity);
    for (int index = 7; index < 7 + maskLength; ++index) checkKept(record, rebuilt, {index});
    assert(rebuilt[19] == maskLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int length = input.ConsumeIntegralInRange(-2, paramrecord::capacity + 40);
    const auto family = static_cast<readerfamily::Family>(input.ConsumeIntegralInRange(
        int(readerfamily::Family::Fir), int(readerfamily::Family::Alder)));
    const bool gprsFields = input.ConsumeBool();
    // Exactly the bytes the reader sent, so a read past them is caught.
    const Record record = input.ConsumeRemainingBytes<std::uint8_t>();
    checkDevice(record, family, length);
    checkNet(record, gprsFields, length);
    checkSpecial(record, length);
    return 0;
}
