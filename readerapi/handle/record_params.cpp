#include "record_params.h"

#include <optional>
#include <sstream>
#include <vector>

#include "commands.h"
#include "json_text.h"
#include "param_records.h"
#include "reader_family.h"

namespace qn::handle {

namespace {

using readerfamily::Family;

constexpr size_t kTypeByte = 2;  // of the system information: the serial number's first byte

// One record as the program's pages handle it: its table, its command, how much is read and
// how much is written back.
struct RecordPlan {
    const record::RecordTable *table;
    commands::Record command;
    int readLength;
    int writeLength;
};

std::optional<RecordPlan> planFor(const std::string &name, Family family) {
    const readerfamily::FamilyTraits &traits = readerfamily::traitsOf(family);
    if (name == "device") {
        return RecordPlan{&record::deviceRecord, commands::Record::Device, traits.deviceRecord.read,
                          traits.deviceRecord.write};
    }
    if (!traits.hasNetwork) return std::nullopt;
    if (name == "network") {
        const int write = family == Family::Fir ? readerfamily::firNetworkRecordWrite
                                                : readerfamily::networkRecord.write;
        return RecordPlan{&record::networkRecord, commands::Record::Net,
                          readerfamily::networkRecord.read, write};
    }
    if (name == "special") {
        return RecordPlan{&record::specialRecord, commands::Record::Special,
                          readerfamily::specialRecord.read, readerfamily::specialRecord.write};
    }
    return std::nullopt;
}

std::optional<Family> familyOfReader(Link &link, uint8_t addr) {
    uint8_t info[10];
    if (!commands::getDeviceSystemInfo(link, addr, info)) return std::nullopt;
    return readerfamily::familyOf(info[kTypeByte]);
}

struct RecordImage {
    uint8_t lead = 0;
    std::vector<uint8_t> bytes;
};

std::optional<RecordImage> readImage(Link &link, uint8_t addr, const RecordPlan &plan) {
    RecordImage image;
    image.bytes.assign(static_cast<size_t>(plan.readLength), 0);
    if (!commands::readRecord(link, plan.command, addr, &image.lead, image.bytes.data(),
                              static_cast<uint8_t>(plan.readLength))) {
        return std::nullopt;
    }
    return image;
}

std::string jsonValue(const record::Value &value) {
    if (const auto *flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    if (const auto *number = std::get_if<int64_t>(&value)) return std::to_string(*number);
    return jsontext::quoted(std::get<std::string>(value));
}

// Applies "name=value" lines to the record; false with the reason at the first bad line.
bool applyAssignments(const RecordPlan &plan, Family family, const std::string &assignments,
                      std::vector<uint8_t> &bytes, std::string &reason) {
    std::istringstream lines(assignments);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            reason = "\"" + line + "\" is not name=value";
            return false;
        }
        const std::string name = line.substr(0, equals);
        const record::Field *field = record::find(*plan.table, name, family);
        if (!field) {
            reason = "the " + std::string(readerfamily::traitsOf(family).name) + " reader's " +
                     std::string(plan.table->name) + " record has no field \"" + name + "\"";
            return false;
        }
        const std::optional<record::Value> value =
            record::parseValue(*field, std::string_view(line).substr(equals + 1), reason);
        if (!value) return false;
        record::encode(*field, *value, bytes);
    }
    return true;
}

}  // namespace

bool readParams(Link &link, uint8_t addr, const std::string &record, std::string &json) {
    const std::optional<Family> family = familyOfReader(link, addr);
    if (!family) return false;
    const std::optional<RecordPlan> plan = planFor(record, *family);
    if (!plan) return false;
    const std::optional<RecordImage> image = readImage(link, addr, *plan);
    if (!image) return false;
    json = "{";
    for (const record::Field &field : plan->table->fields) {
        if (record::find(*plan->table, field.name, *family) != &field) continue;
        if (json.size() > 1) json += ",";
        json += jsontext::quoted(field.name) + ":" + jsonValue(record::decode(field, image->bytes));
    }
    json += "}";
    return true;
}

bool writeParams(Link &link, uint8_t addr, const std::string &record,
                 const std::string &assignments, std::string &reason) {
    const std::optional<Family> family = familyOfReader(link, addr);
    if (!family) {
        reason = "the reader does not answer";
        return false;
    }
    const std::optional<RecordPlan> plan = planFor(record, *family);
    if (!plan) {
        reason = "a " + std::string(readerfamily::traitsOf(*family).name) +
                 " reader has no record \"" + record + "\" (device, network or special)";
        return false;
    }
    std::optional<RecordImage> image = readImage(link, addr, *plan);
    if (!image) {
        reason = "the reader did not give its " + record + " record";
        return false;
    }
    if (!applyAssignments(*plan, *family, assignments, image->bytes, reason)) return false;
    if (!commands::writeRecord(link, plan->command, addr, image->lead, image->bytes.data(),
                               static_cast<uint8_t>(plan->writeLength))) {
        reason = "the reader did not take the " + record + " record";
        return false;
    }
    return true;
}

}  // namespace qn::handle
