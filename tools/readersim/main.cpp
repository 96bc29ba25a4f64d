// tagbench-sim: a virtual UHF reader served over TCP, a pseudo-terminal and the HID report
// tunnel, or connecting out to a server, with optional fault injection. Runs until SIGINT or
// SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "reader_family.h"
#include "reader_model.h"
#include "stop_signals.h"
#include "virtual_reader.h"

namespace {

struct Options {
    readersim::ReaderOptions reader;
    int tcpPort = -1;
    bool pty = false;
    std::string link;
    int hidPort = -1;
    std::string connect;  // HOST:PORT
    std::string serial;   // 12 or 14 hex digits; empty: one of this reader's own
    int delayMs = 0;
    int dropEvery = 0;
    bool badChecksum = false;
    bool failStatus = false;
    bool wrongEcho = false;
    int wrongAddress = -1;
    int split = 0;
    bool merge = false;
    int dropForMs = 0;
    int dropPeriodS = 10;
    bool active = false;
    int activePeriodMs = 200;
    int activeRate = 0;
    int activeBatch = 0;
    int passes = 0;
    int passLooks = 25;
    int passGap = 10;
};

// HOST:PORT split at the last colon; nothing when a part is empty or the port is not 1..65535.
std::optional<std::pair<std::string, uint16_t>> splitHostPort(const std::string &text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return {};
    const std::string digits = text.substr(colon + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return {};
    const int port = std::stoi(digits);
    if (port < 1 || port > 65535) return {};
    return std::pair(text.substr(0, colon), static_cast<uint16_t>(port));
}

CLI::Validator hostPortCheck() {
    return CLI::Validator(
        [](const std::string &text) {
            return splitHostPort(text) ? std::string() : "expected HOST:PORT, got " + text;
        },
        "HOST:PORT");
}

// The six serial number bytes after the type byte, from 12 hex digits (or 14 whose first two
// must then be `type`); nothing when the text is neither.
std::optional<std::array<uint8_t, 6>> serialTail(const std::string &text,
                                                 std::optional<uint8_t> type) {
    if ((text.size() != 12 && text.size() != 14) ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return {};
    const auto byteAt = [&](size_t i) {
        return static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    };
    const size_t skip = text.size() == 14 ? 1 : 0;
    if (skip == 1 && type && byteAt(0) != *type) return {};
    std::array<uint8_t, 6> tail{};
    for (size_t i = 0; i < tail.size(); ++i) tail[i] = byteAt(i + skip);
    return tail;
}

CLI::Validator serialCheck() {
    return CLI::Validator(
        [](const std::string &text) {
            return serialTail(text, std::nullopt) ? std::string()
                                                  : "expected 12 or 14 hex digits, got " + text;
        },
        "HEX");
}

// A reader's own default serial number, so several simulators side by side stay apart.
std::array<uint8_t, 6> defaultSerialTail(std::optional<uint16_t> port) {
    const auto last = port.value_or(static_cast<uint16_t>(::getpid()));
    return {0x20, 0x26, 0x12, 0x08, static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last)};
}

void addOptions(CLI::App &app, Options &o) {
    app.add_option("--family", o.reader.family,
                   "Reader family (" + readerfamily::familyNames() + ") or a type byte as 0x..")
        ->default_val("fir");
    app.add_option("--tags", o.reader.tagCount,
                   "N distinct tags in a still field (for benchmarks); without it the field "
                   "is lively: about 20 tags coming and going, signal and temperatures drifting")
        ->check(CLI::Range(0, 10000));
    app.add_flag("--verbose,-v", o.reader.verbose, "Log every request and answer on one line");
    app.add_option("--serial", o.serial,
                   "Serial number: 12 hex digits after the family's type byte, or all 14 "
                   "starting with it (default: 20261208 then the first served port, TCP before "
                   "HID, as four hex digits, or the process id's low 16 bits)")
        ->check(serialCheck());

    app.add_option("--tcp", o.tcpPort, "Serve the reader on 127.0.0.1:PORT (0 picks one)")
        ->check(CLI::Range(0, 65535));
    app.add_flag("--pty", o.pty, "Serve the reader on a pseudo-terminal (prints its path)");
    app.add_option("--link", o.link,
                   "With --pty: keep a symlink at PATH pointing at the current terminal. Name "
                   "it with a trailing digit (e.g. /tmp/tagbench-tty0): the serial library "
                   "drops a trailing non-digit from port names")
        ->needs("--pty");
    app.add_option("--hid", o.hidPort,
                   "Serve the HID report tunnel on 127.0.0.1:PORT (for QNHID_SIM=127.0.0.1:PORT)")
        ->check(CLI::Range(0, 65535));
    app.add_option("--connect", o.connect,
                   "Connect out to a server at HOST:PORT, as a networked reader in client mode, "
                   "and push active-mode reports to it (implies --active); reconnects with a "
                   "bounded back-off while the server is away")
        ->check(hostPortCheck());

    auto *line = "Production line";
    app.add_option("--passes", o.passes,
                   "N tags pass through the field one after another, again and again, instead "
                   "of a still or lively field: each tag stays for --pass-looks inventories and "
                   "tag reads, then leaves")
        ->group(line)
        ->check(CLI::Range(1, 10000));
    app.add_option("--pass-looks", o.passLooks,
                   "Inventories and tag reads each passing tag answers before it leaves")
        ->group(line)
        ->default_val(25)
        ->needs("--passes")
        ->check(CLI::Range(1, 1000000));
    app.add_option("--pass-gap", o.passGap,
                   "Inventories and tag reads with an empty field between two passing tags")
        ->group(line)
        ->default_val(10)
        ->needs("--passes")
        ->check(CLI::Range(0, 1000000));

    auto *faults = "Fault injection";
    app.add_option("--delay", o.delayMs, "Delay every answer by MS milliseconds")
        ->group(faults)
        ->check(CLI::Range(0, 60000));
    app.add_option("--drop-every", o.dropEvery, "Do not send every Nth answer")
        ->group(faults)
        ->check(CLI::Range(0, 1000000));
    app.add_flag("--bad-checksum", o.badChecksum, "Send answers with a wrong checksum")
        ->group(faults);
    app.add_flag("--fail-status", o.failStatus, "Answer with status 0 (failure)")->group(faults);
    app.add_flag("--wrong-echo", o.wrongEcho, "Echo the command code + 1")->group(faults);
    app.add_option("--wrong-address", o.wrongAddress, "Answer from this reader address")
        ->group(faults)
        ->check(CLI::Range(0, 255));
    app.add_option("--split", o.split, "Write answers in pieces of N bytes")
        ->group(faults)
        ->check(CLI::Range(0, 4096));
    app.add_flag("--merge", o.merge, "Hold each answer and send it with the next one")
        ->group(faults);
    app.add_option("--drop-for", o.dropForMs,
                   "Unplug every --drop-period seconds and come back after MS milliseconds")
        ->group(faults)
        ->check(CLI::Range(0, 600000));
    app.add_option("--drop-period", o.dropPeriodS, "Seconds between unplugs of --drop-for")
        ->group(faults)
        ->default_val(10)
        ->check(CLI::Range(1, 86400));

    auto *active = "Active mode";
    app.add_flag("--active", o.active, "Push 0x45 reports from the start")->group(active);
    app.add_option("--active-period", o.activePeriodMs,
                   "Milliseconds between reports (0: as fast as possible); also used by "
                   "StartRead")
        ->group(active)
        ->default_val(200)
        ->check(CLI::Range(0, 600000));
    app.add_option("--active-rate", o.activeRate, "Reports per second (instead of --active-period)")
        ->group(active)
        ->default_val(0)
        ->check(CLI::Range(0, 100000));
    app.add_option("--active-batch", o.activeBatch, "Tags per report (0: as many as fit)")
        ->group(active)
        ->default_val(0)
        ->check(CLI::Range(0, 255));
}

readersim::Faults faultsOf(const Options &o) {
    readersim::Faults faults;
    faults.answerDelay = std::chrono::milliseconds(o.delayMs);
    faults.dropEveryNth = o.dropEvery;
    faults.badChecksum = o.badChecksum;
    faults.failureStatus = o.failStatus;
    faults.wrongEcho = o.wrongEcho;
    if (o.wrongAddress >= 0) faults.wrongAddress = static_cast<uint8_t>(o.wrongAddress);
    faults.splitChunk = o.split;
    faults.mergeFrames = o.merge;
    return faults;
}

// Waits for SIGINT or SIGTERM (blocked in every thread since the start of main), unplugging
// every --drop-period meanwhile when --drop-for is given.
int serveUntilSignal(readersim::VirtualReader &reader, const Options &o) {
    const bool dropping = o.dropForMs > 0;
    const std::chrono::seconds period(dropping ? o.dropPeriodS : 3600);
    for (;;) {
        if (tools::waitForStopSignal(period) != 0) return 0;
        if (dropping) {
            std::fprintf(stderr, "unplugged for %d ms\n", o.dropForMs);
            reader.dropFor(std::chrono::milliseconds(o.dropForMs));
        }
    }
}

// --active-rate, when given, sets the pace instead of --active-period.
std::chrono::microseconds activePeriodOf(const Options &options) {
    if (options.activeRate > 0) return std::chrono::microseconds(1000000 / options.activeRate);
    return std::chrono::milliseconds(options.activePeriodMs);
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{
        "tagbench-sim: a virtual UHF RFID reader (EPC Gen-2) for TagBench and its libraries.\n"
        "Serves the reader protocol over TCP, a pseudo-terminal and/or the HID report tunnel,\n"
        "or connects out to a server (--connect), until SIGINT or SIGTERM.\n"
        "Examples: tagbench-sim --tcp 60000 --family fir --tags 20\n"
        "          tagbench-sim --connect 127.0.0.1:65000 --active-period 100\n"
        "          tagbench-sim --tcp 60000 --passes 3 --pass-looks 40"};
    tools::blockStopSignals();  // before any thread starts
    ::signal(SIGPIPE, SIG_IGN);
    Options options;
    options.reader.requestLogLimit = 1000;  // runs for hours: keep the request log bounded
    addOptions(app, options);
    app.set_version_flag("--version", "tagbench-sim " TAGBENCH_VERSION);
    CLI11_PARSE(app, argc, argv);
    options.reader.livelyField = app.count("--tags") == 0 && options.passes == 0;
    const auto connect = splitHostPort(options.connect);
    if (options.tcpPort < 0 && !options.pty && options.hidPort < 0 && !connect) {
        std::fprintf(stderr,
                     "nothing to serve: give --tcp, --pty, --hid and/or --connect (see --help)\n");
        return 2;
    }

    try {
        readersim::VirtualReader reader(options.reader);
        reader.setFaults(faultsOf(options));
        std::optional<uint16_t> firstPort;
        if (options.tcpPort >= 0) {
            firstPort = reader.serveTcp(static_cast<uint16_t>(options.tcpPort));
            std::printf("tcp 127.0.0.1:%u\n", *firstPort);
        }
        if (options.pty) {
            std::printf("pty %s\n", reader.servePty(options.link).c_str());
            if (!options.link.empty()) std::printf("link %s\n", options.link.c_str());
        }
        if (options.hidPort >= 0) {
            const uint16_t port = reader.serveHid(static_cast<uint16_t>(options.hidPort));
            if (!firstPort) firstPort = port;
            std::printf("hid 127.0.0.1:%u\n", port);
        }
        if (connect) {
            reader.connectTo(connect->first, connect->second);
            std::printf("connect %s:%u\n", connect->first.c_str(), connect->second);
        }
        std::string serialProblem;
        reader.withModel([&](readersim::ReaderModel &model) {
            const auto tail = options.serial.empty() ? defaultSerialTail(firstPort)
                                                     : serialTail(options.serial, model.type());
            if (!tail) {
                serialProblem = "--serial " + options.serial + " does not start with the " +
                                "family's type byte";
                return;
            }
            std::copy(tail->begin(), tail->end(), model.serial.begin() + 1);
            model.active.period = activePeriodOf(options);
            model.active.batch = options.activeBatch;
            // Reporting by itself is the active work mode, and the device record says so.
            if (options.active || connect.has_value()) model.enterActiveMode();
            if (options.passes > 0)
                model.passGeneratedTagsInTurn(options.passes, options.passLooks, options.passGap);
        });
        if (!serialProblem.empty()) {
            std::fprintf(stderr, "tagbench-sim: %s\n", serialProblem.c_str());
            return 2;
        }
        std::fflush(stdout);
        return serveUntilSignal(reader, options);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tagbench-sim: %s\n", error.what());
        return 1;
    }
}
