// tagbench-cli [global options] COMMAND [arguments]: reader jobs from a shell or a script.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>

#include "cli_error.h"
#include "commands.h"

namespace {

void addGlobalOptions(CLI::App &app, cli::GlobalOptions &options) {
    if (const char *fromEnvironment = std::getenv("TAGBENCH_READER")) {
        options.address = fromEnvironment;
    }
    app.add_option("-r,--reader", options.address,
                   "tcp://HOST[:PORT], serial:PATH[?baud=N] or usb:N (default: $TAGBENCH_READER)");
    app.add_flag("--json", options.json, "Machine-readable output");
    app.add_flag("-v,--verbose", options.verbose,
                 "Every frame sent (>) and received (<) on stderr");
    app.add_option("--wait-scale", options.waitScale,
                   "Wait PERCENT of the usual time for each answer, 100-1000 (default 100), "
                   "for slow lines and busy hosts")
        ->option_text("PERCENT")
        ->check(CLI::Range(100, 1000));
    app.set_version_flag("--version", "tagbench-cli " TAGBENCH_VERSION);
    // Global options may also follow the command.
    app.fallthrough();
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app("Reader jobs from a shell, a script or a pipe", "tagbench-cli");
    cli::GlobalOptions options;
    cli::Action action;
    addGlobalOptions(app, options);
    cli::addInfoCommand(app, options, action);
    cli::addInventoryCommands(app, options, action);
    cli::addMemoryCommands(app, options, action);
    cli::addDeviceCommands(app, options, action);
    cli::addParamCommands(app, options, action);
    cli::addFirmwareCommands(app, options, action);
    cli::addProfileCommands(app, options, action);
    try {
        app.parse(argc, argv);
        // A command group without its command (or no command at all) leaves nothing to run.
        if (!action) cli::usageError("no command given (see --help)");
        action();
        // Output that never arrived is a failure too ("> /dev/full", a full disk).
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            throw cli::Failure(cli::kFileFailed, "cannot write the output");
        }
    } catch (const CLI::Success &done) {
        return app.exit(done);  // --help, --version
    } catch (const CLI::ParseError &error) {
        cli::printError(error.what());
        return cli::kUsage;
    } catch (const cli::Failure &failure) {
        std::fflush(stdout);
        cli::printError(failure.what());
        return failure.status();
    }
    return cli::kSuccess;
}
