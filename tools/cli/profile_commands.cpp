// profile export|import: the program's device profile files, written and checked by the
// program's own profile code, so a profile moves between the window and a shell unchanged.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <string>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "kit/CIniFile.h"
#include "output.h"
#include "profile_access.h"
#include "shell/CProfileTransfer.h"

namespace cli {

namespace {

// What the window says of a DevType refusal, in the English language file's words.
const std::string kDeviceTypeRefusal =
    "Invalid profile: the device type entry is missing or malformed. Nothing was written to "
    "the reader.";

// A profile is a few kilobytes; anything far larger is no profile and is not read whole.
constexpr qint64 kLargestProfile = 1 << 20;

struct ProfileArguments {
    std::string file;
    bool force = false;
};

QString pathOf(const std::string &file) {
    return QFile::decodeName(file.c_str());
}

std::string joined(const std::vector<std::string> &items, const std::string &separator) {
    std::string text;
    for (const std::string &item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

// "FILE: profile written (device, network records)", or one JSON object of the same.
void printOutcome(const Session &session, const std::string &file, const std::string &done,
                  const std::vector<std::string> &records) {
    if (!session.json()) {
        printLine(file + ": " + done + " (" + joined(records, ", ") + " records)");
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

void runExport(const GlobalOptions &global, const ProfileArguments &arguments) {
    const QString path = pathOf(arguments.file);
    const QFileInfo target(path);
    // Checked before any frame is sent; the write itself refuses a file that appears since.
    if (!arguments.force && (target.exists() || target.isSymLink())) {
        fileFailed("profile export: " + arguments.file +
                   " already exists (give --force to replace it)");
    }
    const Session session(global);
    const std::uint8_t type = session.identity().type();
    const std::optional<deviceprofile::Records> records =
        deviceprofile::readRecords(profileAccess(session.reader()), type);
    if (!records) readerFailed("profile export");
    const QString reason = deviceprofile::write(
        path, *records, QDateTime::currentDateTime(),
        arguments.force ? deviceprofile::Existing::Replace : deviceprofile::Existing::Keep);
    if (!reason.isEmpty()) {
        fileFailed("profile export: cannot write " + arguments.file + ": " + reason.toStdString());
    }
    std::vector<std::string> read = {"device", "network"};
    if (deviceprofile::readsSpecialRecord(type)) read.push_back("special");
    printOutcome(session, arguments.file, "profile written", read);
}

// The profile's records, refused as the window refuses them, before the reader is opened.
deviceprofile::Records loadProfile(const std::string &file) {
    const QString path = pathOf(file);
    QFile input(path);
    if (!QFileInfo(path).isFile()) {
        fileFailed("profile import: cannot read " + file + ": " +
                   (QFileInfo::exists(path) ? "not a regular file" : "no such file"));
    }
    if (!input.open(QIODevice::ReadOnly)) {
        fileFailed("profile import: cannot read " + file + ": " +
                   input.errorString().toStdString());
    }
    const QByteArray bytes = input.read(kLargestProfile + 1);
    if (bytes.size() > kLargestProfile) {
        fileFailed("profile import: " + file + " is too large to be a device profile");
    }
    const deviceprofile::Decoded decoded = deviceprofile::decode(CIniDocument::fromBytes(bytes));
    switch (decoded.refusal) {
        case deviceprofile::Refusal::DeviceType:
            fileFailed("profile import: " + file + ": " + kDeviceTypeRefusal);
        case deviceprofile::Refusal::RecordText:
            fileFailed("profile import: " +
                       deviceprofile::notAProfileReason(path, decoded.refusedKey).toStdString());
        case deviceprofile::Refusal::None:
            break;
    }
    return decoded.records;
}

void runImport(const GlobalOptions &global, const ProfileArguments &arguments) {
    checkedAddress(global);
    const deviceprofile::Records profile = loadProfile(arguments.file);
    const Session session(global);
    const std::optional<deviceprofile::Written> written =
        deviceprofile::writeRecords(profileAccess(session.reader()), profile);
    if (!written) readerFailed("profile import");
    const std::pair<bool, const char *> outcomes[] = {{written->deviceWritten, "device"},
                                                      {written->networkWritten, "network"},
                                                      {written->specialWritten, "special"}};
    std::string refused;
    for (const auto &[done, name] : outcomes) {
        if (!done) refused += std::string(refused.empty() ? "" : " and ") + name;
    }
    // All three are written whatever one of them answers, as the window does.
    if (!refused.empty()) readerFailed("profile import, " + refused + " record");
    printOutcome(session, arguments.file, "profile imported", {"device", "network", "special"});
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
