// The reader's side of a profile export and import: which records are read and how many of
// their bytes, the leading byte they are written with, the network record keeping the
// target's own MAC address. The program runs these steps on its reader worker, tagbench-cli
// and the handle library on a reader handle, so all of them copy readers the same way.
//
// Export reads every record the reader's family has, and import writes only the records the
// profile holds from a read and the target has: zero bytes that stand for a record not read
// never overwrite a reader's settings.
#pragma once

#include "profile/device_profile.h"
#include "record_params.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace deviceprofile {

// The records a reader of this type keeps: the device record, and the network and special
// records where its family has them.
std::vector<Record> recordsOf(std::uint8_t deviceType);

// recordLength bytes of every record the reader has, with the leading byte of the last record
// read as DevType. Nothing when a read fails.
std::optional<Records> readRecords(const record::RecordAccess &reader, std::uint8_t deviceType);

struct Written {
    struct Entry {
        Record record;
        record::ParamRecord sent;
        bool taken = false;
    };
    // Each record written, in file order.
    std::vector<Entry> entries;

    // Every record written was taken.
    bool complete() const;
    std::vector<std::string> takenNames() const;
    std::vector<std::string> refusedNames() const;
};

// Writes the records the profile holds and the target has, with the leading byte of the
// target's own network record (which also gives its MAC address), or of its device record
// where it has no network record. Every record is written whatever another one answers.
// Nothing when that own record cannot be read: then nothing is written.
std::optional<Written> writeRecords(const record::RecordAccess &reader, const Records &profile,
                                    std::uint8_t targetType);

}  // namespace deviceprofile
