// The command groups. Each adds its subcommands to the program; a chosen subcommand stores
// its work in `action`, which runs once the whole command line has parsed.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

#include "session.h"

namespace cli {

using Action = std::function<void()>;

void addInfoCommand(CLI::App &app, const GlobalOptions &options, Action &action);
void addInventoryCommands(CLI::App &app, const GlobalOptions &options, Action &action);
void addMemoryCommands(CLI::App &app, const GlobalOptions &options, Action &action);
void addDeviceCommands(CLI::App &app, const GlobalOptions &options, Action &action);
void addParamCommands(CLI::App &app, const GlobalOptions &options, Action &action);
void addFirmwareCommands(CLI::App &app, const GlobalOptions &options, Action &action);
void addProfileCommands(CLI::App &app, const GlobalOptions &options, Action &action);

}  // namespace cli
