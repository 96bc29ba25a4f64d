// info: who the reader is.
#include "commands.h"
#include "output.h"

namespace cli {

namespace {

void printInfo(const Session &session) {
    const Identity &id = session.identity();
    if (session.json()) {
        printLine("{\"serial\":" + jsonString(id.serialText()) + ",\"type\":" +
                  std::to_string(id.type()) + ",\"family\":" + jsonString(id.family()) +
                  ",\"firmware\":" + jsonString(id.firmware()) +
                  ",\"hardware\":" + jsonString(id.hardware()) + "}");
        return;
    }
    printLine("serial    " + id.serialText() + "\ntype      " + std::to_string(id.type()) +
              "\nfamily    " + id.family() + "\nfirmware  " + id.firmware() + "\nhardware  " +
              id.hardware());
}

}  // namespace

void addInfoCommand(CLI::App &app, const GlobalOptions &options, Action &action) {
    CLI::App *info = app.add_subcommand("info", "Serial number, type, family and versions");
    info->callback([&] {
        action = [&] {
            const Session session(options);
            printInfo(session);
        };
    });
}

}  // namespace cli
