// Text other programs and people hand the tools: reader addresses and "name=value" field
// values. An address that parses writes out to text that parses back to itself, a refused
// one always says why on one line; a field value that passes its check encodes within the
// field's bytes and reads back as the value given.
#include <fuzzer/FuzzedDataProvider.h>

#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

#include "param_records.h"
#include "reader_address.h"

namespace {

void checkAddress(const std::string &text) {
    const readeraddress::Parsed parsed = readeraddress::parse(text);
    if (!parsed.address) {
        assert(!parsed.error.empty() && parsed.error.find('\n') == std::string::npos);
        return;
    }
    const readeraddress::Parsed again =
        readeraddress::parse(readeraddress::format(*parsed.address));
    assert(again.address && *again.address == *parsed.address);
}

void checkFieldValue(const record::RecordTable &table, size_t index, const std::string &text) {
    const record::Field &field = table.fields[index % table.fields.size()];
    std::string error;
    const std::optional<record::Value> value = record::parseValue(field, text, error);
    if (!value) {
        assert(!error.empty());
        return;
    }
    // Guard bytes either side of the field catch a write outside it.
    std::vector<std::uint8_t> record(256, 0xA5);
    assert(record::encode(field, *value, record));
    const record::Value read = record::decode(field, record);
    if (field.codec != record::Codec::Hex && field.codec != record::Codec::Ipv4) {
        assert(read == *value);
    }
    const int end = field.offset + field.width;
    for (int i = 0; i < int(record.size()); ++i) {
        if (i >= field.offset && i < end) continue;
        if (i == field.countAt) continue;
        assert(record[size_t(i)] == 0xA5);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const size_t fieldIndex = input.ConsumeIntegral<uint16_t>();
    const int tableIndex = input.ConsumeIntegralInRange(0, 2);
    const std::string text = input.ConsumeRemainingBytesAsString();
    checkAddress(text);
    const record::RecordTable *tables[] = {&record::deviceRecord, &record::networkRecord,
                                           &record::specialRecord};
    checkFieldValue(*tables[tableIndex], fieldIndex, text);
    return 0;
}
