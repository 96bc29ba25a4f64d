#include "record_params.h"

#include <optional>
#include <sstream>
#include <vector>

#include "commands.h"
#include "param_records.h"
#include "reader_family.h"

namespace qn::handle {

namespace {

using readerfamily::Family;

constexpr size_t kTypeByte = 2;  // of the system information: the serial number's first byte

commands::Record commandOf(record::RecordKind kind) {
    switch (kind) {
        case record::RecordKind::Device:
            return commands::Record::Device;
        case record::RecordKind::Network:
            return commands::Record::Net;
        case record::RecordKind::Special:
            break;
    }
    return commands::Record::Special;
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

std::optional<RecordImage> readImage(Link &link, uint8_t addr, const record::RecordPlan &plan) {
    RecordImage image;
    image.bytes.assign(static_cast<size_t>(plan.readLength), 0);
    if (!commands::readRecord(link, commandOf(plan.kind), addr, &image.lead, image.bytes.data(),
                              static_cast<uint8_t>(plan.readLength))) {
        return std::nullopt;
    }
    return image;
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

}  // namespace

bool readParams(Link &link, uint8_t addr, const std::string &record, std::string &json) {
    const std::optional<Family> family = familyOfReader(link, addr);
    if (!family) return false;
    const std::optional<record::RecordPlan> plan = record::planFor(record, *family);
    if (!plan) return false;
    const std::optional<RecordImage> image = readImage(link, addr, *plan);
    if (!image) return false;
    json = record::jsonObject(*plan->table, *family, image->bytes);
    return true;
}

bool writeParams(Link &link, uint8_t addr, const std::string &record,
                 const std::string &assignments, std::string &reason) {
    const std::optional<Family> family = familyOfReader(link, addr);
    if (!family) {
        reason = "the reader does not answer";
        return false;
    }
    const std::optional<record::RecordPlan> plan = record::planFor(record, *family);
    if (!plan) {
        reason = "a " + std::string(readerfamily::traitsOf(*family).name) +
                 " reader has no record \"" + record + "\" (device, network or special)";
        return false;
    }
    const auto changes = record::parseAssignments(*plan, *family, linesOf(assignments), reason);
    if (!changes) return false;
    std::optional<RecordImage> image = readImage(link, addr, *plan);
    if (!image) {
        reason = "the reader did not give its " + record + " record";
        return false;
    }
    record::apply(*changes, image->bytes);
    if (!commands::writeRecord(link, commandOf(plan->kind), addr, image->lead, image->bytes.data(),
                               static_cast<uint8_t>(plan->writeLength))) {
        reason = "the reader did not take the " + record + " record";
        return false;
    }
    return true;
}

}  // namespace qn::handle
