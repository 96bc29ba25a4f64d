// time get|set, relay on|off: the reader's clock and relay.
#include <cstdio>
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "values.h"

namespace cli {

namespace {

// The device clock as local time text, in the form `time set` takes.
std::string deviceTimeText(const DeviceTime &time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", 2000 + time[0], time[1],
                  time[2], time[3], time[4], time[5]);
    return text;
}

void printTime(const Session &session, const DeviceTime &time) {
    const std::string text = deviceTimeText(time);
    printLine(session.json() ? "{\"time\":" + jsontext::quoted(text) + "}" : text);
}

void runTimeGet(const GlobalOptions &global) {
    Session session(global);
    DeviceTime time{};
    session.run("time get", Repeat::Safe, [&] {
        return QnReader_ReadDeviceTime(session.reader(), kAnyAddress, time.data());
    });
    printTime(session, time);
}

void runTimeSet(const GlobalOptions &global, const std::string &typed) {
    const DeviceTime time = parseDeviceTime(typed);
    Session session(global);
    session.run("time set", Repeat::Unsafe,
                [&] { return QnReader_SetDeviceTime(session.reader(), kAnyAddress, time.data()); });
    printTime(session, time);
}

void runRelay(const GlobalOptions &global, const std::string &state) {
    Session session(global);
    session.run("relay " + state, Repeat::Unsafe, [&] {
        return state == "on" ? QnReader_RelayOn(session.reader(), kAnyAddress)
                             : QnReader_RelayOff(session.reader(), kAnyAddress);
    });
    printDone(session.json());
}

}  // namespace

void addDeviceCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    CLI::App *time = app.add_subcommand("time", "The reader's clock (local time)");
    time->add_subcommand("get", "Print the reader's clock")->callback([&] {
        action = [&] { runTimeGet(options); };
    });
    auto typed = std::make_shared<std::string>("now");
    CLI::App *set = time->add_subcommand("set", "Set the reader's clock");
    set->add_option("TIME", *typed, "now (default) or YYYY-MM-DDTHH:MM:SS");
    set->callback([&, typed] { action = [&, typed] { runTimeSet(options, *typed); }; });

    auto state = std::make_shared<std::string>();
    CLI::App *relay = app.add_subcommand("relay", "Close (on) or open (off) the reader's relay");
    relay->add_option("STATE", *state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
    relay->callback([&, state] { action = [&, state] { runRelay(options, *state); }; });
}

}  // namespace cli
