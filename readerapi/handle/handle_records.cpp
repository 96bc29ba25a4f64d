#include "handle_records.h"

#include <sys/stat.h>

#include <ctime>
#include <optional>
#include <sstream>
#include <vector>

#include "commands.h"
#include "profile/profile_transfer.h"
#include "reader_family.h"
#include "record_params.h"

namespace qn::handle {

namespace {

using readerfamily::Family;
using record::RecordKind;

constexpr size_t kTypeByte = 2;  // of the system information: the serial number's first byte

commands::Record commandOf(RecordKind kind) {
    switch (kind) {
        case RecordKind::Device:
            return commands::Record::Device;
        case RecordKind::Network:
            return commands::Record::Net;
        case RecordKind::Special:
            break;
    }
    return commands::Record::Special;
}

// The link's record commands as the model's record steps take them.
record::RecordAccess accessOf(Link &link, uint8_t addr) {
    return {[&link, addr](RecordKind kind, int length) -> std::optional<record::ParamRecord> {
                record::ParamRecord record{0, std::vector<uint8_t>(size_t(length), 0)};
                if (!commands::readRecord(link, commandOf(kind), addr, &record.lead,
                                          record.bytes.data(), static_cast<uint8_t>(length))) {
                    return std::nullopt;
                }
                return record;
            },
            [&link, addr](RecordKind kind, const record::ParamRecord &record) {
                return commands::writeRecord(link, commandOf(kind), addr, record.lead,
                                             record.bytes.data(),
                                             static_cast<uint8_t>(record.bytes.size())) != 0;
            },
            [&link, addr](RecordKind kind) {
                if (kind == RecordKind::Special) return false;
                return commands::simple(link,
                                        kind == RecordKind::Device ? Command::DefaultDeviceParam
                                                                   : Command::DefaultDeviceNetParam,
                                        addr) != 0;
            }};
}

std::optional<uint8_t> typeOfReader(Link &link, uint8_t addr) {
    uint8_t info[10];
    if (!commands::getDeviceSystemInfo(link, addr, info)) return std::nullopt;
    return info[kTypeByte];
}

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

const std::string kNoAnswer = "the reader does not answer";

}  // namespace

bool readParams(Link &link, uint8_t addr, const std::string &record, std::string &json) {
    const std::optional<uint8_t> type = typeOfReader(link, addr);
    if (!type) return false;
    const Family family = readerfamily::familyOf(*type);
    const record::ParamsOutcome read = record::getParams(accessOf(link, addr), family, record);
    if (!read) return false;
    json = record::jsonObject(*read.table, family, read.bytes);
    return true;
}

bool writeParams(Link &link, uint8_t addr, const std::string &record,
                 const std::string &assignments, std::string &reason) {
    const std::optional<uint8_t> type = typeOfReader(link, addr);
    if (!type) {
        reason = kNoAnswer;
        return false;
    }
    const record::ParamsOutcome written = record::setParams(
        accessOf(link, addr), readerfamily::familyOf(*type), record, linesOf(assignments));
    reason = written.reason;
    return bool(written);
}

bool exportProfile(Link &link, uint8_t addr, const std::string &path, bool overwrite,
                   std::string &report) {
    struct stat status {};
    if (!overwrite && ::lstat(path.c_str(), &status) == 0) {
        report = path + " already exists";
        return false;
    }
    const std::optional<uint8_t> type = typeOfReader(link, addr);
    const std::optional<deviceprofile::Records> records =
        type ? deviceprofile::readRecords(accessOf(link, addr), *type) : std::nullopt;
    if (!records) {
        report = kNoAnswer + " (its records could not be read)";
        return false;
    }
    const std::string reason = deviceprofile::write(
        path, *records, deviceprofile::createTimeText(std::time(nullptr)),
        overwrite ? deviceprofile::Existing::Replace : deviceprofile::Existing::Keep);
    if (!reason.empty()) {
        report = "cannot write " + path + ": " + reason;
        return false;
    }
    report =
        path + ": profile written (" + deviceprofile::describeRecords(records->heldNames()) + ")";
    return true;
}

bool importProfile(Link &link, uint8_t addr, const std::string &path, std::string &report) {
    const deviceprofile::Loaded loaded = deviceprofile::load(path);
    if (!loaded.error.empty()) {
        report = "cannot read " + path + ": " + loaded.error;
        return false;
    }
    if (loaded.decoded.refusal != deviceprofile::Refusal::None) {
        report = deviceprofile::refusalReason(path, loaded.decoded);
        return false;
    }
    const std::optional<uint8_t> type = typeOfReader(link, addr);
    const std::optional<deviceprofile::Written> written =
        type ? deviceprofile::writeRecords(accessOf(link, addr), loaded.decoded.records, *type)
             : std::nullopt;
    if (!written) {
        report = kNoAnswer + "; nothing was written";
        return false;
    }
    if (!written->complete()) {
        report = "the reader refused its " +
                 deviceprofile::describeRecords(written->refusedNames()) +
                 " (written: " + deviceprofile::describeRecords(written->takenNames()) + ")";
        return false;
    }
    report =
        path + ": profile imported (" + deviceprofile::describeRecords(written->takenNames()) + ")";
    return true;
}

}  // namespace qn::handle
