// profile export|import: the program's device profile files, written and checked by the
// model's profile code that the program uses too, so a profile moves between the window and a
// shell unchanged.
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
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

// FILE "-": the profile goes to stdout (export) or comes from stdin (import).
constexpr std::string_view kStandardStream = "-";

std::string joined(const std::vector<std::string> &items, const std::string &separator) {
    std::string text;
    for (const std::string &item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

// FILE as a person reads it: "-" names the stream.
std::string shownName(const std::string &file, const std::string &stream) {
    return file == kStandardStream ? stream : file;
}

// "FILE: profile written (device, network records)", or one JSON object of the same (with FILE
// as typed); on stderr when stdout carries the profile itself.
void printOutcome(const Session &session, const std::string &file, const std::string &shown,
                  const std::string &done, const std::vector<std::string> &records,
                  std::FILE *stream = stdout) {
    std::string line;
    if (session.json()) {
        std::vector<std::string> quoted;
        for (const std::string &name : records) quoted.push_back(jsontext::quoted(name));
        line = "{\"file\":" + jsontext::quoted(file) +
               ",\"type\":" + std::to_string(session.identity().type()) + ",\"records\":[" +
               joined(quoted, ",") + "]}";
    } else {
        line = shown + ": " + done + " (" + deviceprofile::describeRecords(records) + ")";
    }
    if (stream == stdout) {
        printLine(line);
    } else {
        std::fprintf(stream, "%s\n", line.c_str());
    }
}

[[noreturn]] void fileFailed(const std::string &message) {
    throw Failure(kFileFailed, message);
}

// Anything at the path, a dangling link included.
bool somethingAt(const std::string &path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// A folder is no profile file, whichever way it would go; refused before the reader is reached.
void refuseDirectory(const std::string &command, const std::string &file) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        usageError(command + ": " + file + " is a directory, not a profile file");
    }
}

// The whole profile on stdout, or the failure: a profile cut short is worse than none.
void writeToStdout(const std::string &text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (!written || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        fileFailed("profile export: cannot write the profile to standard output");
    }
}

void runExport(const GlobalOptions &global, const ProfileArguments &arguments) {
    const bool toStdout = arguments.file == kStandardStream;
    if (!toStdout) refuseDirectory("profile export", arguments.file);
    // Checked before any frame is sent; the write itself refuses a file that appears since.
    if (!toStdout && !arguments.force && somethingAt(arguments.file)) {
        fileFailed("profile export: " + arguments.file +
                   " already exists (give --force to replace it)");
    }
    const Session session(global);
    const std::optional<deviceprofile::Records> records =
        deviceprofile::readRecords(recordAccess(session.reader()), session.identity().type());
    if (!records) readerFailed("profile export");
    const std::string created = deviceprofile::createTimeText(std::time(nullptr));
    if (toStdout) {
        writeToStdout(deviceprofile::fileText(*records, created));
        printOutcome(session, arguments.file, "standard output", "profile written",
                     records->heldNames(), stderr);
        return;
    }
    const std::string reason = deviceprofile::write(
        arguments.file, *records, created,
        arguments.force ? deviceprofile::Existing::Replace : deviceprofile::Existing::Keep);
    if (!reason.empty()) {
        fileFailed("profile export: cannot write " + arguments.file + ": " + reason);
    }
    printOutcome(session, arguments.file, arguments.file, "profile written", records->heldNames());
}

// The profile's records, refused as the window refuses them, before the reader is opened.
deviceprofile::Records loadProfile(const std::string &file) {
    const bool fromStdin = file == kStandardStream;
    if (!fromStdin) refuseDirectory("profile import", file);
    const deviceprofile::Loaded loaded =
        fromStdin ? deviceprofile::load(std::cin) : deviceprofile::load(file);
    const std::string shown = shownName(file, "standard input");
    if (!loaded.error.empty()) {
        fileFailed("profile import: cannot read " + shown + ": " + loaded.error);
    }
    if (loaded.decoded.refusal != deviceprofile::Refusal::None) {
        fileFailed("profile import: " + deviceprofile::refusalReason(shown, loaded.decoded));
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
    printOutcome(session, arguments.file, shownName(arguments.file, "standard input"),
                 "profile imported", written->takenNames());
}

}  // namespace

void addProfileCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    CLI::App *profile =
        app.add_subcommand("profile", "The reader's records to and from a device profile file");

    auto exported = std::make_shared<ProfileArguments>();
    CLI::App *command = profile->add_subcommand("export", "Save the reader's records in FILE");
    command->add_option("FILE", exported->file, "The profile file, named as given; - for stdout")
        ->required();
    command->add_flag("--force", exported->force, "Replace FILE when it exists");
    command->callback([&, exported] { action = [&, exported] { runExport(options, *exported); }; });

    auto imported = std::make_shared<ProfileArguments>();
    command = profile->add_subcommand("import", "Write the records of FILE to the reader");
    command->add_option("FILE", imported->file, "A device profile file; - for stdin")->required();
    command->callback([&, imported] { action = [&, imported] { runImport(options, *imported); }; });
}

}  // namespace cli
