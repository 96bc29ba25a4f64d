// A device profile: an INI file that holds a copy of a reader's device, network and special
// records, so that one reader's settings can be copied to others. This is the file format
// (Qt-free): the program's profile buttons, tagbench-cli and the handle library write and read
// profiles through it, so a profile moves between them unchanged.
//
// Section DeviceParam holds DevType, CreateTime, DevParam, NetParam and SpecialParam in that
// order, each record as 200 bytes of spaced hex. A record the reader does not have, or that
// was not read, is written as zero bytes, which older readers of the file expect; the key
// Records, after them, names the records that were read, so that zeros standing for "not
// read" are never written to a reader. A file without Records (earlier exports) holds the
// device and network records, and its special record unless that is all zero bytes.
#pragma once

#include "param_records.h"
#include "profile/CIniDocument.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace deviceprofile {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::string_view section = "DeviceParam";
inline constexpr std::string_view deviceTypeKey = "DevType";
inline constexpr std::string_view createTimeKey = "CreateTime";
inline constexpr std::string_view deviceKey = "DevParam";
inline constexpr std::string_view networkKey = "NetParam";
inline constexpr std::string_view specialKey = "SpecialParam";
inline constexpr std::string_view recordsKey = "Records";

// Bytes of each record read from the reader, kept in the file and written back.
inline constexpr int recordLength = 200;
// Most bytes a record text may give; what lies beyond is cut (and bytes past recordLength
// are never written anyway).
inline constexpr int textByteLimit = 256;
// Longest value read of a key.
inline constexpr std::size_t valueLimit = 1023;
// A profile is a few kilobytes; a file far larger is no profile and is not read whole.
inline constexpr std::size_t largestFile = 1 << 20;

// The records, in file order, by the names the file and the tools use.
using Record = record::RecordKind;
inline constexpr std::array<Record, 3> everyRecord{Record::Device, Record::Network,
                                                   Record::Special};
std::string_view nameOf(Record record);

// What an export saves and an import writes: recordLength bytes of each record held, and the
// leading byte of the last record read. An empty record was not read and is not written.
struct Records {
    std::uint8_t lead = 0;
    Bytes device;
    Bytes network;
    Bytes special;

    Bytes &operator[](Record record);
    const Bytes &operator[](Record record) const;
    bool holds(Record record) const { return !(*this)[record].empty(); }
    // The names of the records held, in file order.
    std::vector<std::string> heldNames() const;
};

// "device, network, special records" or "device record": the records named for a person.
std::string describeRecords(const std::vector<std::string> &names);

// The local time as CreateTime writes it ("%Y%m%d%H%M%S"), and the name an export proposes:
// "Device" and that time.
std::string createTimeText(std::time_t created);
std::string proposedName(std::time_t created);

// What a write does with a file already at the path. A link there is refused either way.
enum class Existing {
    Keep,
    // Replaced whole: the new file is renamed into its place.
    Replace,
};

// The file's bytes: the five keys in their order, each record as 600 characters of spaced hex
// ending with its space, unquoted, then Records.
std::string fileText(const Records &records, std::string_view createTime);
// Writes the profile at path. Empty on success, otherwise the reason.
std::string write(const std::string &path, const Records &records, std::string_view createTime,
                  Existing existing = Existing::Keep);

enum class Refusal {
    None,
    // DevType missing or not two characters long.
    DeviceType,
    // A record text missing, cut short or not spaced hex, or a Records entry that names no
    // record: the file is no profile (or a damaged one) and nothing of it may reach a reader.
    RecordText,
};

struct Decoded {
    Refusal refusal = Refusal::None;
    // With Refusal::RecordText: the key whose text was refused.
    std::string refusedKey;
    // recordLength bytes of each record held (lead unused: the import writes with the
    // target's own).
    Records records;
};

// A record text is accepted when it is spaced hex ("%.2X " per byte, digits of either case)
// holding recordLength bytes; the final space may be missing, which loses the last byte (it
// stays 0), as the byte-wise conversion does.
bool isRecordText(std::string_view text);
// The imported network record with the target reader's own MAC address in it: a profile
// copies settings, not a reader's identity.
Bytes withOwnMac(const Bytes &imported, const Bytes &own);

// Record texts are read with their final space (blanks after the last digit count as one),
// unquoted as the profile is written, or quoted as earlier builds wrote them.
Decoded decode(const CIniDocument &document);

// A profile file read and decoded. `error` says why the file could not be read (no such file,
// not a regular file, too large, unreadable); then nothing was decoded.
struct Loaded {
    std::string error;
    Decoded decoded;
};
Loaded load(const std::string &path);
// A profile read from a stream (standard input), with the same limits.
Loaded load(std::istream &in);

// Why a decoded file is not imported, naming the file (and the refused key); the DevType
// refusal in English (the program shows its own language text instead).
std::string refusalReason(const std::string &path, const Decoded &decoded);

}  // namespace deviceprofile
