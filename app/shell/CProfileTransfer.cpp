#include "shell/CProfileTransfer.h"

#include "reader_family.h"

#include <QCoreApplication>
#include <QDir>

namespace deviceprofile {

bool readsSpecialRecord(std::uint8_t deviceType)
{
    return readerfamily::familyOf(deviceType) == readerfamily::Family::Elm;
}

std::optional<Records> readRecords(const RecordAccess &reader, std::uint8_t deviceType)
{
    Records records;
    records.special.assign(recordLength, 0);
    const std::pair<RecordKind, Bytes &> reads[] = {
        { RecordKind::Device, records.device },
        { RecordKind::Network, records.network },
        { RecordKind::Special, records.special },
    };
    for (const auto &[kind, bytes] : reads) {
        if (kind == RecordKind::Special && !readsSpecialRecord(deviceType))
            break;
        const std::optional<ParamRecord> read = reader.read(kind, recordLength);
        if (!read)
            return std::nullopt;
        // DevType is the leading byte of the last record read.
        records.lead = read->lead;
        bytes = read->bytes;
    }
    return records;
}

std::optional<Written> writeRecords(const RecordAccess &reader, const Records &profile)
{
    const std::optional<ParamRecord> own = reader.read(RecordKind::Network, recordLength);
    if (!own)
        return std::nullopt;
    Written written { { own->lead, profile.device },
        { own->lead, withOwnMac(profile.network, own->bytes) }, { own->lead, profile.special } };
    // A refused record is reported, not passed off as done.
    written.deviceWritten = reader.write(RecordKind::Device, written.device);
    written.networkWritten = reader.write(RecordKind::Network, written.network);
    written.specialWritten = reader.write(RecordKind::Special, written.special);
    return written;
}

QString notAProfileReason(const QString &path, const QString &refusedKey)
{
    return QCoreApplication::translate("deviceprofile",
        "%1 is not a device profile: its %2 entry is missing, cut short or not hexadecimal. "
        "Nothing was written to the reader.")
        .arg(QDir::toNativeSeparators(path), refusedKey);
}

} // namespace deviceprofile
