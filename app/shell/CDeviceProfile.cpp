#include "shell/CDeviceProfile.h"

#include "kit/CIniFile.h"
#include "kit/CMyFunc.h"
#include "kit/SafeFile.h"
#include "param_records.h"

#include <QFile>

#include <algorithm>

namespace deviceprofile {

namespace {

constexpr int charactersPerByte = 3;

QString recordText(const Bytes &record)
{
    const auto count
        = static_cast<std::uint16_t>(std::min<std::size_t>(record.size(), recordLength));
    return CMyFunc::bytesToSpacedHex(record.data(), count);
}

// A record value as read with its trailing blanks: they stand for the final separator,
// however many an editor left.
QString recordTextOf(const CIniDocument &document, const QString &key)
{
    const QString text
        = CIniFile::textOf(document, section, key, valueLimit, CIniDocument::Trailing::Keep);
    qsizetype hexEnd = text.size();
    while (hexEnd > 0 && text[hexEnd - 1].isSpace())
        --hexEnd;
    return hexEnd < text.size() ? text.first(hexEnd) + u' ' : text;
}

// recordLength bytes from an accepted text: longer texts are cut, a missing final space
// leaves the last byte 0.
Bytes recordBytes(QStringView text)
{
    const QByteArray converted = CMyFunc::spacedHexToBytes(
        text.first(std::min<qsizetype>(text.size(), qsizetype(textByteLimit) * charactersPerByte)));
    Bytes bytes(recordLength, 0);
    std::copy_n(
        converted.begin(), std::min<qsizetype>(converted.size(), recordLength), bytes.begin());
    return bytes;
}

QByteArray fileText(const Records &records, const QDateTime &created)
{
    const std::pair<const QString &, QString> entries[] = {
        { deviceTypeKey, QString::asprintf("%.2X", records.lead) },
        { createTimeKey, createTimeText(created) },
        { deviceKey, recordText(records.device) },
        { networkKey, recordText(records.network) },
        { specialKey, recordText(records.special) },
    };
    CIniDocument document;
    for (const auto &[key, value] : entries)
        document.setValue(section, key, value);
    return document.toBytes();
}

} // namespace

QString createTimeText(const QDateTime &created)
{
    return created.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString proposedName(const QDateTime &created)
{
    return QStringLiteral("Device") + createTimeText(created);
}

QString write(
    const QString &path, const Records &records, const QDateTime &created, Existing existing)
{
    if (existing == Existing::Replace)
        return safefile::replace(path, fileText(records, created));
    QFile file;
    if (QString reason = safefile::open(file, path, safefile::Opening::CreateNew);
        !reason.isEmpty())
        return reason;
    const QByteArray text = fileText(records, created);
    if (file.write(text) == text.size() && file.flush())
        return {};
    const QString reason = file.errorString();
    file.remove();
    return reason;
}

bool isRecordText(QStringView text)
{
    if (text.size() < recordLength * charactersPerByte - 1 || text.size() % charactersPerByte == 1)
        return false;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const bool separator = index % charactersPerByte == charactersPerByte - 1;
        if (separator ? text[index] != u' ' : CMyFunc::hexDigitValue(text[index]) < 0)
            return false;
    }
    return true;
}

Bytes withOwnMac(const Bytes &imported, std::span<const std::uint8_t> own)
{
    const record::Field &mac = *record::find(record::networkRecord, "mac");
    Bytes network = imported;
    record::encode(mac, record::decode(mac, own), network);
    return network;
}

Decoded decode(const CIniDocument &document)
{
    Decoded decoded;
    if (CIniFile::textOf(document, section, deviceTypeKey, valueLimit).size() != 2) {
        decoded.refusal = Refusal::DeviceType;
        return decoded;
    }
    const std::pair<const QString &, Bytes &> records[] = {
        { deviceKey, decoded.records.device },
        { networkKey, decoded.records.network },
        { specialKey, decoded.records.special },
    };
    for (const auto &[key, bytes] : records) {
        // A missing key reads as "default", which is no record text either.
        const QString text = recordTextOf(document, key);
        if (!isRecordText(text)) {
            decoded.refusal = Refusal::RecordText;
            decoded.refusedKey = key;
            decoded.records = {};
            return decoded;
        }
        bytes = recordBytes(text);
    }
    return decoded;
}

} // namespace deviceprofile
