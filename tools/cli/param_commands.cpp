// params|net|special get|set|default: the reader's parameter records by field name, through
// the record tables, so a field reads and writes here as on the program's pages.
#include <memory>
#include <optional>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "param_records.h"

namespace cli {

namespace {

using readerfamily::Family;

// One record of the open reader: the family's plan for it and the bytes last read.
struct RecordImage {
    record::RecordPlan plan;
    std::uint8_t lead = 0;
    std::vector<std::uint8_t> bytes;
};

Family familyOf(const Session &session) {
    return readerfamily::familyOf(session.identity().type());
}

record::RecordPlan planOf(const Session &session, const std::string &name) {
    const std::optional<record::RecordPlan> plan = record::planFor(name, familyOf(session));
    if (!plan) {
        usageError("a " + session.identity().family() + " reader has no " + name + " record");
    }
    return *plan;
}

int readBytes(const Session &session, RecordImage &image) {
    QnReader *reader = session.reader();
    const auto length = static_cast<std::uint8_t>(image.plan.readLength);
    switch (image.plan.kind) {
        case record::RecordKind::Device:
            return QnReader_ReadDeviceParam(reader, kAnyAddress, &image.lead, image.bytes.data(),
                                            length);
        case record::RecordKind::Network:
            return QnReader_ReadDeviceNetParam(reader, kAnyAddress, &image.lead, image.bytes.data(),
                                               length);
        case record::RecordKind::Special:
            break;
    }
    return QnReader_ReadDeviceSpecialParam(reader, kAnyAddress, &image.lead, image.bytes.data(),
                                           length);
}

int writeBytes(const Session &session, const RecordImage &image) {
    QnReader *reader = session.reader();
    const auto length = static_cast<std::uint8_t>(image.plan.writeLength);
    switch (image.plan.kind) {
        case record::RecordKind::Device:
            return QnReader_SetDeviceParam(reader, kAnyAddress, image.lead, image.bytes.data(),
                                           length);
        case record::RecordKind::Network:
            return QnReader_SetDeviceNetParam(reader, kAnyAddress, image.lead, image.bytes.data(),
                                              length);
        case record::RecordKind::Special:
            break;
    }
    return QnReader_SetDeviceSpecialParam(reader, kAnyAddress, image.lead, image.bytes.data(),
                                          length);
}

RecordImage readRecord(const Session &session, const record::RecordPlan &plan,
                       const std::string &command) {
    RecordImage image{plan, 0, std::vector<std::uint8_t>(std::size_t(plan.readLength), 0)};
    if (!readBytes(session, image)) readerFailed(command + " (reading the record)");
    return image;
}

// name=value lines, which `set` takes back; JSON: one object.
void printRecord(const Session &session, const RecordImage &image) {
    const Family family = familyOf(session);
    if (session.json()) {
        printLine(record::jsonObject(*image.plan.table, family, image.bytes));
        return;
    }
    for (const record::Field &field : image.plan.table->fields) {
        if (record::find(*image.plan.table, field.name, family) != &field) continue;
        const record::Value shown = record::namedValue(field, record::decode(field, image.bytes));
        const auto *flag = std::get_if<bool>(&shown);
        const auto *number = std::get_if<std::int64_t>(&shown);
        const std::string text = flag     ? (*flag ? "true" : "false")
                                 : number ? std::to_string(*number)
                                          : std::get<std::string>(shown);
        printLine(std::string(field.name) + "=" + text);
    }
}

void runGet(const GlobalOptions &global, const std::string &name, const std::string &command) {
    const Session session(global);
    printRecord(session, readRecord(session, planOf(session, name), command));
}

void runSet(const GlobalOptions &global, const std::string &name, const std::string &command,
            const std::vector<std::string> &assignments) {
    const Session session(global);
    const record::RecordPlan plan = planOf(session, name);
    std::string reason;
    const auto changes = record::parseAssignments(plan, familyOf(session), assignments, reason);
    if (!changes) usageError(reason);
    RecordImage image = readRecord(session, plan, command);
    record::apply(*changes, image.bytes);
    if (!writeBytes(session, image)) readerFailed(command);
    printRecord(session, readRecord(session, plan, command));
}

void runDefault(const GlobalOptions &global, const std::string &name, const std::string &command) {
    const Session session(global);
    const record::RecordPlan plan = planOf(session, name);
    const bool restored = plan.kind == record::RecordKind::Device
                              ? QnReader_DefaultDeviceParam(session.reader(), kAnyAddress)
                              : QnReader_DefaultDeviceNetParam(session.reader(), kAnyAddress);
    if (!restored) readerFailed(command);
    printRecord(session, readRecord(session, plan, command));
}

void addRecordCommands(CLI::App &app, const GlobalOptions &options, Action &action,
                       const std::string &command, const std::string &record,
                       const std::string &description, bool withDefault) {
    CLI::App *group = app.add_subcommand(command, description);
    group->add_subcommand("get", "Print every field the reader's family has")
        ->callback([&, command, record] {
            action = [&, command, record] { runGet(options, record, command + " get"); };
        });
    auto assignments = std::make_shared<std::vector<std::string>>();
    CLI::App *set = group->add_subcommand(
        "set", "Change the named fields, keeping every other byte as read; print the result");
    set->add_option("NAME=VALUE", *assignments, "Fields to change (see get for the names)")
        ->required();
    set->callback([&, command, record, assignments] {
        action = [&, command, record, assignments] {
            runSet(options, record, command + " set", *assignments);
        };
    });
    if (!withDefault) return;
    group->add_subcommand("default", "Restore the factory values; print the result")
        ->callback([&, command, record] {
            action = [&, command, record] { runDefault(options, record, command + " default"); };
        });
}

}  // namespace

void addParamCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    addRecordCommands(app, options, action, "params", "device", "The device parameter record",
                      true);
    addRecordCommands(app, options, action, "net", "network", "The network parameter record", true);
    addRecordCommands(app, options, action, "special", "special", "The special parameter record",
                      false);
}

}  // namespace cli
