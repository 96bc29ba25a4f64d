// Arbitrary parameter records as a reader returns them (any length, any bytes) through the
// tables the parameter pages show them with (the device record for every family), and back
// into the zeroed records the pages write. Decoding never reads past the record; a rebuilt
// record keeps every plain byte field the page owns, a second round trip changes nothing, and
// a record built shorter is the start of the whole one.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "param_records.h"

namespace {

using Record = std::vector<std::uint8_t>;

// The zero-filled buffer a record is built in: larger than any record.
constexpr int kCapacity = 256;

size_t expectedSize(int length) {
    return size_t(std::clamp(length, 0, kCapacity));
}

// Byte `index` of the record as a decoder reads it: past its end, 0.
std::uint8_t byteAt(const Record &record, size_t index) {
    return index < record.size() ? record[index] : 0;
}

// A record built at any length is the start of the whole record; the whole record read and
// built again is itself.
template <typename Build>
Record checkLengths(const Record &record, int length, Build build) {
    const Record whole = build(record, kCapacity);
    assert(whole.size() == size_t(kCapacity));
    assert(build(whole, kCapacity) == whole);
    const Record cut = build(record, length);
    assert(cut.size() == expectedSize(length));
    assert(std::equal(cut.begin(), cut.end(), whole.begin()));
    return whole;
}

void checkKept(const Record &record, const Record &rebuilt, std::initializer_list<int> indexes) {
    for (const int index : indexes) assert(rebuilt[index] == byteAt(record, index));
}

// The family's values of the record written into a zeroed record of `size` bytes.
Record rebuilt(const record::RecordTable &table, readerfamily::Family family, const Record &bytes,
               int size) {
    Record built(expectedSize(size), 0);
    record::encode(table, record::decode(table, bytes, family), family, built);
    return built;
}

void checkDevice(const Record &record, readerfamily::Family family, int length) {
    const Record whole = checkLengths(record, length, [&](const Record &bytes, int size) {
        return rebuilt(record::deviceRecord, family, bytes, size);
    });
    checkKept(record, whole, {0, 1, 3, 4, 6, 7, 8, 9, 10, 11, 12});
    if (record::find(record::deviceRecord, record::antennaField(1), family))
        checkKept(record, whole, {19});
}

void checkNet(const Record &record, readerfamily::Family family, int length) {
    const Record whole = checkLengths(record, length, [&](const Record &bytes, int size) {
        return rebuilt(record::networkRecord, family, bytes, size);
    });
    // MAC, four addresses, two ports, heartbeat, GPS upload interval.
    for (int index = 0; index < 26; ++index) checkKept(record, whole, {index});
    checkKept(record, whole, {28, 126});
}

void checkSpecial(const Record &record, readerfamily::Family family, int length) {
    const Record whole = checkLengths(record, length, [&](const Record &bytes, int size) {
        return rebuilt(record::specialRecord, family, bytes, size);
    });
    // Password, mask start, relay time, protocol, condition.
    checkKept(record, whole, {1, 2, 3, 4, 6, 21, 24, 25});
    const record::Field &mask = *record::find(record::specialRecord, "mask_data");
    const int maskLength = std::min<int>(byteAt(record, size_t(mask.countAt)), mask.width);
    for (int index = mask.offset; index < mask.offset + maskLength; ++index)
        checkKept(record, whole, {index});
    assert(whole[size_t(mask.countAt)] == maskLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int length = input.ConsumeIntegralInRange(-2, kCapacity + 40);
    const auto family = static_cast<readerfamily::Family>(input.ConsumeIntegralInRange(
        int(readerfamily::Family::Fir), int(readerfamily::Family::Alder)));
    // Exactly the bytes the reader sent, so a read past them is caught.
    const Record record = input.ConsumeRemainingBytes<std::uint8_t>();
    checkDevice(record, family, length);
    checkNet(record, family, length);
    checkSpecial(record, family, length);
    return 0;
}
