// Arbitrary parameter records as a reader returns them (any length, any bytes) through the
// three decoders the parameter pages show them with, and back through the encoders the pages
// write with. Decoding never reads past the record; a rebuilt record keeps every plain byte
// field the page owns, a second round trip changes nothing, and a record built shorter is the
// start of the whole one.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "param_records.h"
#include "params/DeviceParamRecord.h"
#include "params/ParamFamily.h"

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

void checkDevice(const Record &record, const deviceparam::RecordLayout &layout, int length) {
    const Record rebuilt = checkLengths(record, length, [&](const Record &bytes, int size) {
        return deviceparam::buildRecord(deviceparam::showRecord(bytes), layout, size);
    });
    checkKept(record, rebuilt, {0, 1, 3, 4, 6, 7, 8, 9, 10, 11, 12});
    if (layout.antennas) checkKept(record, rebuilt, {19});
}

// The network and special records through their tables, as their pages show and write them.
Record rebuildThroughTable(const record::RecordTable &table, const Record &record, int size) {
    Record rebuilt(expectedSize(size), 0);
    const auto family = readerfamily::Family::Unknown;
    record::encode(table, record::decode(table, record, family), family, rebuilt);
    return rebuilt;
}

void checkNet(const Record &record, int length) {
    const Record rebuilt = checkLengths(record, length, [](const Record &bytes, int size) {
        return rebuildThroughTable(record::networkRecord, bytes, size);
    });
    // MAC, four addresses, two ports, heartbeat, GPS upload interval.
    for (int index = 0; index < 26; ++index) checkKept(record, rebuilt, {index});
    checkKept(record, rebuilt, {28, 126});
}

void checkSpecial(const Record &record, int length) {
    const Record rebuilt = checkLengths(record, length, [](const Record &bytes, int size) {
        return rebuildThroughTable(record::specialRecord, bytes, size);
    });
    // Password, mask start, relay time, protocol, condition.
    checkKept(record, rebuilt, {1, 2, 3, 4, 6, 21, 24, 25});
    const record::Field &mask = *record::find(record::specialRecord, "mask_data");
    const int maskLength = std::min<int>(byteAt(record, size_t(mask.countAt)), mask.width);
    for (int index = mask.offset; index < mask.offset + maskLength; ++index)
        checkKept(record, rebuilt, {index});
    assert(rebuilt[size_t(mask.countAt)] == maskLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int length = input.ConsumeIntegralInRange(-2, kCapacity + 40);
    const auto family = static_cast<readerfamily::Family>(input.ConsumeIntegralInRange(
        int(readerfamily::Family::Fir), int(readerfamily::Family::Alder)));
    const deviceparam::RecordLayout &layout = paramfamily::paramFamilyOf(family).layout;
    // Exactly the bytes the reader sent, so a read past them is caught.
    const Record record = input.ConsumeRemainingBytes<std::uint8_t>();
    checkDevice(record, layout, length);
    checkNet(record, length);
    checkSpecial(record, length);
    return 0;
}
