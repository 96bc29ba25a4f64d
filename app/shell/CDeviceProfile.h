#pragma once

#include "reader/IReader.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <span>

class CIniDocument;

// A device profile: an INI file that holds a copy of a reader's device, network and special
// records, so that one reader's settings can be copied to others. This is the file format
// only (Qt Core, no widgets, no reader): the main window's export and import do the rest.
namespace deviceprofile {

inline const QString section = QStringLiteral("DeviceParam");
inline const QString deviceTypeKey = QStringLiteral("DevType");
inline const QString createTimeKey = QStringLiteral("CreateTime");
inline const QString deviceKey = QStringLiteral("DevParam");
inline const QString networkKey = QStringLiteral("NetParam");
inline const QString specialKey = QStringLiteral("SpecialParam");

// Bytes of each record read from the reader, kept in the file and written back.
inline constexpr int recordLength = 200;
// Most bytes a record text may give; what lies beyond is cut (and bytes past recordLength
// are never written anyway).
inline constexpr int textByteLimit = 256;
// Longest value read of a key.
inline constexpr qsizetype valueLimit = 1023;

// What an export saves: recordLength bytes of each record and the leading byte of the last
// record read.
struct Records {
    std::uint8_t lead = 0;
    Bytes device;
    Bytes network;
    Bytes special;
};

// "Device" and the creation time: the name the export proposes.
QString proposedName(const QDateTime &created);
QString createTimeText(const QDateTime &created);

// What a write does with a file already at the path. A link there is refused either way.
enum class Existing {
    Keep,
    // Replaced whole: the new file is renamed into its place.
    Replace,
};

// Writes the profile at path: section DeviceParam with the five keys in their order, each
// record as 600 characters of spaced hex ending with its space, unquoted. Empty on success,
// otherwise the reason.
QString write(const QString &path, const Records &records, const QDateTime &created,
    Existing existing = Existing::Keep);

enum class Refusal {
    None,
    // DevType missing or not two characters long.
    DeviceType,
    // A record text missing, cut short or not spaced hex: the file is no profile (or a
    // damaged one) and nothing of it may reach a reader.
    RecordText,
};

struct Decoded {
    Refusal refusal = Refusal::None;
    // With Refusal::RecordText: the key whose text was refused.
    QString refusedKey;
    // recordLength bytes each (lead unused: the import writes with the target's own).
    Records records;
};

// A record text is accepted when it is spaced hex ("%.2X " per byte, digits of either case)
// holding recordLength bytes; the final space may be missing, which loses the last byte (it
// stays 0), as the byte-wise conversion does.
bool isRecordText(QStringView text);
// The imported network record with the target reader's own MAC address in it: a profile
// copies settings, not a reader's identity.
Bytes withOwnMac(const Bytes &imported, std::span<const std::uint8_t> own);

// Record texts are read with their final space (blanks after the last digit count as one),
// unquoted as the profile is written, or quoted as earlier builds wrote them.
Decoded decode(const CIniDocument &document);

} // namespace deviceprofile
