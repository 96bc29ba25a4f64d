#include "profile/profile_transfer.h"

#include "reader_family.h"

#include <algorithm>

namespace deviceprofile {

namespace {

bool has(const std::vector<Record> &records, Record record) {
    return std::ranges::find(records, record) != records.end();
}

}  // namespace

std::vector<Record> recordsOf(std::uint8_t deviceType) {
    if (!readerfamily::traitsOfType(deviceType).hasNetwork) return {Record::Device};
    return {everyRecord.begin(), everyRecord.end()};
}

std::optional<Records> readRecords(const record::RecordAccess &reader, std::uint8_t deviceType) {
    Records records;
    for (const Record record : recordsOf(deviceType)) {
        std::optional<record::ParamRecord> read = reader.read(record, recordLength);
        if (!read) return std::nullopt;
        // DevType is the leading byte of the last record read.
        records.lead = read->lead;
        read->bytes.resize(recordLength, 0);
        records[record] = std::move(read->bytes);
    }
    return records;
}

bool Written::complete() const {
    return std::ranges::all_of(entries, [](const Entry &entry) { return entry.taken; });
}

std::vector<std::string> Written::takenNames() const {
    std::vector<std::string> names;
    for (const Entry &entry : entries) {
        if (entry.taken) names.emplace_back(nameOf(entry.record));
    }
    return names;
}

std::vector<std::string> Written::refusedNames() const {
    std::vector<std::string> names;
    for (const Entry &entry : entries) {
        if (!entry.taken) names.emplace_back(nameOf(entry.record));
    }
    return names;
}

std::optional<Written> writeRecords(const record::RecordAccess &reader, const Records &profile,
                                    std::uint8_t targetType) {
    const std::vector<Record> targetHas = recordsOf(targetType);
    const Record ownRecord = has(targetHas, Record::Network) ? Record::Network : Record::Device;
    const std::optional<record::ParamRecord> own = reader.read(ownRecord, recordLength);
    if (!own) return std::nullopt;
    Written written;
    for (const Record record : everyRecord) {
        if (!profile.holds(record) || !has(targetHas, record)) continue;
        Bytes bytes =
            record == Record::Network ? withOwnMac(profile.network, own->bytes) : profile[record];
        bytes.resize(recordLength, 0);
        written.entries.push_back({record, {own->lead, std::move(bytes)}, false});
    }
    // A refused record is reported, not passed off as done.
    for (Written::Entry &entry : written.entries)
        entry.taken = reader.write(entry.record, entry.sent);
    return written;
}

}  // namespace deviceprofile
