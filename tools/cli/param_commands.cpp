// params|net|special get|set|default: the reader's parameter records by field name, through
// the model's record steps, so a field reads and writes here as in the handle library and on
// the program's pages.
#include <memory>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "record_access.h"
#include "record_params.h"

namespace cli {

namespace {

using readerfamily::Family;

Family familyOf(const Session &session) {
    return readerfamily::familyOf(session.identity().type());
}

// Ends the command as the outcome says: a refused text or record as a usage error, a reader
// that refused or did not answer as a reader failure.
void check(const record::ParamsOutcome &outcome, const std::string &command) {
    switch (outcome.failure) {
        case record::ParamsFailure::None:
            return;
        case record::ParamsFailure::Refused:
            usageError(outcome.reason);
        case record::ParamsFailure::Reader:
            break;
    }
    readerFailed(command + " (" + outcome.reason + ")");
}

// name=value lines, which `set` takes back; JSON: one object.
void printRecord(const Session &session, const std::string &name, const std::string &command) {
    const record::ParamsOutcome read =
        record::getParams(recordAccess(session.reader()), familyOf(session), name);
    check(read, command);
    if (session.json()) {
        printLine(record::jsonObject(*read.table, familyOf(session), read.bytes));
        return;
    }
    for (const std::string &line :
         record::assignmentLines(*read.table, familyOf(session), read.bytes)) {
        printLine(line);
    }
}

void runGet(const GlobalOptions &global, const std::string &name, const std::string &command) {
    const Session session(global);
    printRecord(session, name, command);
}

void runSet(const GlobalOptions &global, const std::string &name, const std::string &command,
            const std::vector<std::string> &assignments) {
    const Session session(global);
    check(record::setParams(recordAccess(session.reader()), familyOf(session), name, assignments),
          command);
    printRecord(session, name, command);
}

void runDefault(const GlobalOptions &global, const std::string &name, const std::string &command) {
    const Session session(global);
    check(record::defaultParams(recordAccess(session.reader()), familyOf(session), name), command);
    printRecord(session, name, command);
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
