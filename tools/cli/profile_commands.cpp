// profile export|import: the program's device profile files, written and checked by the
// model's profile code that the program uses too, so a profile moves between the window and a
// shell unchanged.
#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "profile/profile_transfer.h"
#include "record_access.h"

namespace cli {

namespace {

struct ProfileArguments {
    std::string file;
    bool force = false;
};

std::string joined(const std::vector<std::string> &items, const std::string &separator) {
    std::string text;
    for (const std::string &item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

// "FILE: profile written (device, network records)", or one JSON object of the same.
void printOutcome(const Session &session, const std::string &file, const std::string &done,
                  const std::vector<std::string> &records) {
    if (!session.json()) {
        printLine(file + ": " + done + " (" + deviceprofile::describeRecords(records) + ")");
        return;
    }
    std::vector<std::string> quoted;
    for (const std::string &name : records) quoted.push_back(jsontext::quoted(name));
    printLine("{\"file\":" + jsontext::quoted(file) +
              ",\"type\":" + std::to_string(session.identity().type()) + ",\"records\":[" +
              joined(quoted, ",") + "]}");
}

[[noreturn]] void fileFailed(const std::string &message) {
    throw Failure(kFileFailed, message);
}

// Anything at the path, a dangling link included.
bool somethingAt(const std::string &path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

void runExport(const GlobalOptions &global, const ProfileArguments &arguments) {
    // Checked before any frame is sent; the write itself refuses a file that appears since.
    if (!arguments.force && somethingAt(arguments.file)) {
        fileFailed("profile export: " + arguments.file +
                   " already exists (give --force to replace it)");
    }
    const Session session(global);
    const std::optional<deviceprofile::Records> records =
        deviceprofile::readRecords(recordAccess(session.reader()), session.identity().type());
    if (!records) readerFailed("profile export");
    const std::string reason = deviceprofile::write(
        arguments.file, *records, deviceprofile::createTimeText(std::time(nullptr)),
        arguments.force ? deviceprofile::Existing::Replace : deviceprofile::Existing::Keep);
    if (!reason.empty()) {
        fileFailed("profile export: cannot write " + arguments.file + ": " + reason);
    }
    printOutcome(session, arguments.file, "profile written", records->heldNames());
}

// The profile's records, refused as the window refuses them, before the reader is opened.
deviceprofile::Records loadProfile(const std::string &file) {
    const deviceprofile::Loaded loaded = deviceprofile::load(file);
    if (!loaded.error.empty()) {
        fileFailed("profile import: cannot read " + file + ": " + loaded.error);
    }
    if (loaded.decoded.refusal != deviceprofile::Refusal::None) {
        fileFailed("profile import: " + deviceprofile::refusalReason(file, loaded.decoded));
    }
    return loaded.decoded.records;
}

void runImport(const GlobalOptions &global, const ProfileArguments &arguments) {
    checkedAddress(global);
    const deviceprofile::Records profile = loadProfile(arguments.file);
    const Session session(global);
    const std::optional<deviceprofile::Written> written = deviceprofile::writeRecords(
        recordAccess(session.reader()), profile, session.identity().type());
    if (!written) readerFailed("profile import");
    // Every record is written whatever another one answers, as the window does.
    if (!written->complete()) {
        readerFailed("profile import, " + joined(written->refusedNames(), " and ") + " record");
    }
    printOutcome(session, arguments.file, "profile imported", written->takenNames());
}

}  // namespace

void addProfileCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    CLI::App *profile =
        app.add_subcommand("profile", "The reader's records to and from a device profile file");

    auto exported = std::make_shared<ProfileArguments>();
    CLI::App *command = profile->add_subcommand("export", "Save the reader's records in FILE");
    command->add_option("FILE", exported->file, "The profile file, named as given")->required();
    command->add_flag("--force", exported->force, "Replace FILE when it exists");
    command->callback([&, exported] { action = [&, exported] { runExport(options, *exported); }; });

    auto imported = std::make_shared<ProfileArguments>();
    command = profile->add_subcommand("import", "Write the records of FILE to the reader");
    command->add_option("FILE", imported->file, "A device profile file")->required();
    command->callback([&, imported] { action = [&, imported] { runImport(options, *imported); }; });
}

}  // namespace cli
