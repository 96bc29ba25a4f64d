#include "profile/device_profile.h"

#include "param_records.h"
#include "profile/CIniFile.h"
#include "profile/safe_write.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace deviceprofile {

namespace {

constexpr std::size_t charactersPerByte = 3;

std::string_view keyOf(Record record) {
    switch (record) {
        case Record::Device:
            return deviceKey;
        case Record::Network:
            return networkKey;
        case Record::Special:
            break;
    }
    return specialKey;
}

int hexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

// recordLength bytes as "%.2X " each; zero bytes for a record not held.
std::string recordText(const Bytes &record) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t index = 0; index < std::size_t(recordLength); ++index) {
        const std::uint8_t byte = index < record.size() ? record[index] : 0;
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
        text += ' ';
    }
    return text;
}

// A record value as read with its trailing blanks: they stand for the final separator,
// however many an editor left.
std::string recordTextOf(const CIniDocument &document, std::string_view key) {
    std::string text =
        CIniFile::textOf(document, section, key, valueLimit, CIniDocument::Trailing::Keep);
    const std::size_t hexEnd = text.find_last_not_of(" \t\r\n\v\f");
    const std::size_t digitsEnd = hexEnd == std::string::npos ? 0 : hexEnd + 1;
    if (digitsEnd < text.size()) text.replace(digitsEnd, std::string::npos, " ");
    return text;
}

// recordLength bytes from an accepted text: longer texts are cut, a missing final space
// leaves the last byte 0.
Bytes recordBytes(std::string_view text) {
    const std::size_t usable =
        std::min(text.size(), std::size_t(textByteLimit) * charactersPerByte);
    Bytes bytes(recordLength, 0);
    for (std::size_t index = 0; index < bytes.size() && (index + 1) * charactersPerByte <= usable;
         ++index) {
        const std::size_t at = index * charactersPerByte;
        bytes[index] =
            static_cast<std::uint8_t>(hexDigitValue(text[at]) << 4 | hexDigitValue(text[at + 1]));
    }
    return bytes;
}

// The records the Records entry names; nothing, with the file's records refused, when it names
// something else. Earlier files without it hold device and network, and special unless zero.
std::optional<std::vector<Record>> heldRecords(const CIniDocument &document) {
    const std::optional<std::string> entry = document.value(section, recordsKey);
    if (!entry) return std::vector<Record>(everyRecord.begin(), everyRecord.end());
    std::vector<Record> held;
    std::string_view names = *entry;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        const std::string_view name = names.substr(0, comma);
        const auto named = std::ranges::find_if(
            everyRecord, [&](Record record) { return nameOf(record) == name; });
        if (named == everyRecord.end()) return std::nullopt;
        held.push_back(*named);
        names.remove_prefix(comma == std::string_view::npos ? names.size() : comma + 1);
    }
    return held;
}

Decoded refusedText(std::string_view key) {
    Decoded decoded;
    decoded.refusal = Refusal::RecordText;
    decoded.refusedKey = key;
    return decoded;
}

}  // namespace

std::string_view nameOf(Record record) {
    switch (record) {
        case Record::Device:
            return "device";
        case Record::Network:
            return "network";
        case Record::Special:
            break;
    }
    return "special";
}

Bytes &Records::operator[](Record record) {
    return record == Record::Device ? device : record == Record::Network ? network : special;
}

const Bytes &Records::operator[](Record record) const {
    return record == Record::Device ? device : record == Record::Network ? network : special;
}

std::vector<std::string> Records::heldNames() const {
    std::vector<std::string> names;
    for (const Record record : everyRecord) {
        if (holds(record)) names.emplace_back(nameOf(record));
    }
    return names;
}

std::string describeRecords(const std::vector<std::string> &names) {
    if (names.empty()) return "no records";
    std::string text;
    for (const std::string &name : names) text += (text.empty() ? "" : ", ") + name;
    return text + (names.size() == 1 ? " record" : " records");
}

std::string createTimeText(std::time_t created) {
    std::tm local{};
    localtime_r(&created, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

std::string proposedName(std::time_t created) {
    return "Device" + createTimeText(created);
}

std::string fileText(const Records &records, std::string_view createTime) {
    char lead[3];
    std::snprintf(lead, sizeof lead, "%.2X", records.lead);
    std::string held;
    for (const std::string &name : records.heldNames()) held += (held.empty() ? "" : ",") + name;
    CIniDocument document;
    document.setValue(section, deviceTypeKey, lead);
    document.setValue(section, createTimeKey, createTime);
    for (const Record record : everyRecord)
        document.setValue(section, keyOf(record), recordText(records[record]));
    document.setValue(section, recordsKey, held);
    return document.toBytes();
}

std::string write(const std::string &path, const Records &records, std::string_view createTime,
                  Existing existing) {
    const std::string text = fileText(records, createTime);
    return existing == Existing::Replace ? safewrite::replace(path, text)
                                         : safewrite::createNew(path, text);
}

bool isRecordText(std::string_view text) {
    if (text.size() < recordLength * charactersPerByte - 1 ||
        text.size() % charactersPerByte == 1) {
        return false;
    }
    for (std::size_t index = 0; index < text.size(); ++index) {
        const bool separator = index % charactersPerByte == charactersPerByte - 1;
        if (separator ? text[index] != ' ' : hexDigitValue(text[index]) < 0) return false;
    }
    return true;
}

Bytes withOwnMac(const Bytes &imported, const Bytes &own) {
    const record::Field &mac = *record::find(record::networkRecord, "mac");
    Bytes network = imported;
    record::encode(mac, record::decode(mac, own), network);
    return network;
}

Decoded decode(const CIniDocument &document) {
    if (CIniFile::textOf(document, section, deviceTypeKey, valueLimit).size() != 2) {
        Decoded refused;
        refused.refusal = Refusal::DeviceType;
        return refused;
    }
    const std::optional<std::vector<Record>> held = heldRecords(document);
    if (!held) return refusedText(recordsKey);
    const bool earlierFile = !document.value(section, recordsKey);
    Decoded decoded;
    for (const Record record : *held) {
        // A missing key reads as "default", which is no record text either.
        const std::string text = recordTextOf(document, keyOf(record));
        if (!isRecordText(text)) return refusedText(keyOf(record));
        decoded.records[record] = recordBytes(text);
    }
    // Earlier exports wrote zeros for a special record they did not read.
    const Bytes &special = decoded.records.special;
    if (earlierFile && std::ranges::all_of(special, [](std::uint8_t byte) { return byte == 0; }))
        decoded.records.special.clear();
    return decoded;
}

Loaded load(const std::string &path) {
    Loaded loaded;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        loaded.error = errno == ENOENT ? "no such file" : std::strerror(errno);
        return loaded;
    }
    if (!S_ISREG(status.st_mode)) {
        loaded.error = "not a regular file";
        return loaded;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        loaded.error = "the file cannot be opened for reading";
        return loaded;
    }
    return load(file);
}

Loaded load(std::istream &in) {
    Loaded loaded;
    std::string bytes(largestFile + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        loaded.error = "the file cannot be read";
        return loaded;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > largestFile) {
        loaded.error = "too large to be a device profile";
        return loaded;
    }
    loaded.decoded = decode(CIniDocument::fromBytes(bytes));
    return loaded;
}

std::string refusalReason(const std::string &path, const Decoded &decoded) {
    switch (decoded.refusal) {
        case Refusal::None:
            return {};
        case Refusal::DeviceType:
            return path +
                   ": Invalid profile: the device type entry is missing or malformed. Nothing "
                   "was written to the reader.";
        case Refusal::RecordText:
            break;
    }
    return path + " is not a device profile: its " + decoded.refusedKey +
           " entry is missing, cut short or not hexadecimal. Nothing was written to the reader.";
}

}  // namespace deviceprofile
