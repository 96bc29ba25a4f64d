// tagbench-cli [global options] COMMAND [arguments]: reader jobs from a shell or a script.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>

#include "cli_error.h"
#include "commands.h"
#include "reader_family.h"
#include "stop_signals.h"

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
    app.add_option("--retry", options.retries,
                   "Send a reading command up to N more times when no answer comes (never a "
                   "write: its outcome is unknown)")
        ->check(CLI::Validator(
            [](std::string &text) {
                return text.find_first_not_of("0123456789") == std::string::npos && !text.empty() &&
                               text.size() <= 3
                           ? std::string()
                           : "takes a count, 0 to 999";
            },
            "N"));
    app.add_option("--max-time", options.maxTimeSeconds,
                   "End the whole job after SECONDS, finished or not (status 6)")
        ->check(CLI::Validator(
            [](std::string &text) {
                std::size_t used = 0;
                double seconds = -1;
                try {
                    seconds = std::stod(text, &used);
                } catch (const std::exception &) {
                    used = 0;
                }
                return used == text.size() && seconds > 0 && seconds <= 31622400
                           ? std::string()
                           : "takes seconds, more than 0 up to 31622400";
            },
            "SECONDS"));
    app.add_flag("--reconnect", options.reconnect,
                 "inventory and watch: wait for a lost reader to come back instead of ending");
    app.add_option("--wait-scale", options.waitScale,
                   "Wait PERCENT of the usual time for each answer, 100-1000 (default 100), "
                   "for slow lines and busy hosts")
        ->option_text("PERCENT")
        ->check(CLI::Range(100, 1000));
    app.add_option("--family", options.family,
                   "The family the reader must be (" + readerfamily::familyNames() +
                       "); a reader of another family is refused before anything is written")
        ->option_text("NAME")
        ->check(CLI::Validator(
            [](std::string &text) {
                return readerfamily::familyNamed(text)
                           ? std::string()
                           : "takes a family name: " + readerfamily::familyNames();
            },
            "NAME"));
    app.set_version_flag("--version", "tagbench-cli " TAGBENCH_VERSION);
    // Global options may also follow the command.
    app.fallthrough();
}

// "time" without get or set: what the command that was given takes.
[[noreturn]] void missingCommand(const CLI::App &app) {
    const CLI::App *given = &app;
    while (!given->get_subcommands().empty()) given = given->get_subcommands().front();
    if (given == &app) cli::usageError("no command given (see --help)");
    std::string names;
    for (const CLI::App *sub : given->get_subcommands({})) {
        names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    cli::usageError("usage: tagbench-cli " + given->get_name() + " COMMAND, COMMAND one of " +
                    names + " (see tagbench-cli " + given->get_name() + " --help)");
}

}  // namespace

int main(int argc, char **argv) {
    // Before any thread starts (the ndjson writer, the handle's own): every thread inherits
    // the block, and the streams take the signals as the request to end.
    tools::blockStopSignals();
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
        if (!action) missingCommand(app);
        action();
        // Output that never arrived is a failure too ("> /dev/full", a full disk).
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            throw cli::Failure(cli::kFileFailed, "cannot write the output");
        }
    } catch (const CLI::Success &done) {
        return app.exit(done);  // --help, --version
    } catch (const CLI::ParseError &error) {
        // CLI11 puts "NAME: " before a check's text; ours say "takes ...", read as one phrase.
        std::string text = error.what();
        if (const std::size_t at = text.find(": takes "); at != std::string::npos)
            text.erase(at, 1);
        cli::printError(text);
        return cli::kUsage;
    } catch (const cli::Failure &failure) {
        std::fflush(stdout);
        cli::printError(failure.what());
        return failure.status();
    }
    return cli::kSuccess;
}
