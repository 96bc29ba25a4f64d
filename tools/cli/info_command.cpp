// info: who the reader is.
#include "commands.h"
#include "output.h"

namespace cli {

namespace {

void printInfo(const Session &session) {
    const Identity &id = session.identity();
    if (session.json()) {
        printLine("{\"serial\":" + jsontext::quoted(id.serialText()) + ",\"type\":" +
                  std::to_string(id.type()) + ",\"family\":" + jsontext::quoted(id.family()) +
                  ",\"firmware\":" + jsontext::quoted(id.firmware()) +
                  ",\"hardware\":" + jsontext::quoted(id.hardware()) + "}");
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
