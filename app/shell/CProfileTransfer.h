#pragma once

#include "reader/IReader.h"
#include "shell/CDeviceProfile.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The reader's side of a profile export and import: which records are read and how many of
// their bytes, the leading byte they are written with, the network record keeping the
// target's own MAC address. The main window runs these steps on its reader worker and
// tagbench-cli on a reader handle, so both copy readers the same way.
namespace deviceprofile {

// How the steps reach a reader. A read gives nothing and a write false when the reader
// refused or did not answer.
struct RecordAccess {
    std::function<std::optional<ParamRecord>(RecordKind kind, int length)> read;
    std::function<bool(RecordKind kind, const ParamRecord &record)> write;
};

// Only Elm readers are asked for their special record; the others' stays zero.
bool readsSpecialRecord(std::uint8_t deviceType);

// recordLength bytes of the device and network records (and of the special record where
// readsSpecialRecord), with the leading byte of the last record read as DevType. Nothing when
// a read fails.
std::optional<Records> readRecords(const RecordAccess &reader, std::uint8_t deviceType);

struct Written {
    ParamRecord device;
    ParamRecord network;
    ParamRecord special;
    bool deviceWritten = false;
    bool networkWritten = false;
    bool specialWritten = false;

    bool complete() const { return deviceWritten && networkWritten && specialWritten; }
};

// Writes a decoded profile with the leading byte of the target's own network record, which
// keeps its MAC address. All three records are written whatever one of them answers. Nothing
// when that network record cannot be read: then nothing is written.
std::optional<Written> writeRecords(const RecordAccess &reader, const Records &profile);

// Why a file whose record text was refused is not imported, naming the file and the key.
QString notAProfileReason(const QString &path, const QString &refusedKey);

} // namespace deviceprofile
