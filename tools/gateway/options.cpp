#include "options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>

#include "reader_address.h"

namespace gateway {

namespace {

constexpr int kUsageStatus = 2;
constexpr double kLongestInterval = 24 * 3600;

std::string hostName() {
    char name[256] = "";
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

CLI::Validator readerAddressCheck() {
    return CLI::Validator(
        [](const std::string &text) {
            const readeraddress::Parsed parsed = readeraddress::parse(text);
            return parsed.address ? std::string() : "reader address " + text + ": " + parsed.error;
        },
        "ADDRESS");
}

void addInputs(CLI::App &app, Options &o) {
    app.add_option("--listen", o.listen,
                   "Take reports from readers connecting out to [ADDRESS:]PORT (repeatable; "
                   "every interface without an address)");
    app.add_option("--reader", o.readers,
                   "Open the reader at ADDRESS (tcp://HOST[:PORT], serial:PATH, usb:N; "
                   "repeatable) and take its active-mode reports")
        ->check(readerAddressCheck());
    app.add_option("--poll", o.pollMs,
                   "Run answer-mode inventories on the opened readers every MS milliseconds "
                   "instead")
        ->check(CLI::Range(1u, 3600000u));
    app.add_option("--wait-scale", o.waitScale,
                   "Wait PERCENT of the usual time for each answer from an opened reader, "
                   "100-1000, for slow lines and busy hosts")
        ->option_text("PERCENT")
        ->check(CLI::Range(100, 1000))
        ->capture_default_str();
}

void addOutputs(CLI::App &app, Options &o) {
    app.add_flag("--stdout", o.toStdout, "Write tag messages to stdout, one JSON object a line");
    app.add_option("--mqtt", o.mqttUrl,
                   "Publish to the MQTT broker at mqtt://[USER[:PASSWORD]@]HOST[:PORT] or "
                   "mqtts://…");
    app.add_option("--topic", o.topic, "Topic of the tag messages ({reader}: serial number)")
        ->capture_default_str();
    app.add_option("--qos", o.qos, "QoS of the tag messages")
        ->check(CLI::IsMember({0, 1}))
        ->capture_default_str();
    app.add_option("--name", o.name, "This gateway's name in its topics (default: host name)");
    app.add_option("--ca", o.caFile, "CA certificates for mqtts:// (PEM file)")
        ->check(CLI::ExistingFile);
    app.add_option("--http", o.httpUrl, "POST tag messages as JSON arrays to URL");
    app.add_option("--batch", o.batch, "Messages per HTTP request at most")
        ->check(CLI::Range(1u, 100000u))
        ->capture_default_str();
    app.add_option("--linger", o.lingerMs, "Milliseconds a message waits for its HTTP batch")
        ->check(CLI::Range(0u, 3600000u))
        ->capture_default_str();
    app.add_option("--queue-limit", o.queueLimit,
                   "Tag messages each output keeps while its peer is away (oldest dropped "
                   "beyond)")
        ->check(CLI::Range(1u, 100000000u))
        ->capture_default_str();
    app.add_option("--report-interval", o.reportIntervalS,
                   "Per reader and EPC, send the first sighting at once and then at most one "
                   "message per SECONDS with the count of sightings (0: every sighting)")
        ->check(CLI::Range(0.0, kLongestInterval))
        ->capture_default_str();
    app.add_option("--stats-interval", o.statsIntervalS,
                   "Seconds between statistics messages on MQTT")
        ->check(CLI::Range(0.1, kLongestInterval))
        ->capture_default_str();
    app.add_option("--log", o.logFile,
                   "Append the log to FILE instead of stderr (SIGHUP "
                   "reopens it)");
}

// The checks CLI11 cannot express; empty when the options fit together.
std::string mismatch(Options &o) {
    if (o.listen.empty() && o.readers.empty()) return "no readers: give --listen or --reader";
    if (!o.toStdout && o.mqttUrl.empty() && o.httpUrl.empty()) {
        return "no output: give --mqtt, --http or --stdout";
    }
    if (!o.mqttUrl.empty()) {
        std::string error;
        o.broker = parseBrokerUrl(o.mqttUrl, error);
        if (!o.broker) return "--mqtt: " + error;
    }
    if (!o.httpUrl.empty() && !o.httpUrl.starts_with("http://") &&
        !o.httpUrl.starts_with("https://")) {
        return "--http: expected http://… or https://…, got " + o.httpUrl;
    }
    if (o.topic.empty()) return "--topic: empty";
    if (o.name.empty()) o.name = hostName();
    return {};
}

}  // namespace

Parsed parseOptions(int argc, char **argv) {
    CLI::App app{
        "tagbench-gateway: delivers the tags that UHF RFID readers see to MQTT, HTTP "
        "or stdout, unattended.\n"
        "Example: tagbench-gateway --listen 65000 --mqtt mqtt://localhost"};
    app.set_version_flag("--version", TAGBENCH_VERSION);
    app.set_config("--config", "", "Read options from FILE (INI or TOML: option = value)");
    Options options;
    addInputs(app, options);
    addOutputs(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &success) {
        return {std::nullopt, app.exit(success)};
    } catch (const CLI::ParseError &error) {
        std::fprintf(stderr, "tagbench-gateway: %s\n", error.what());
        return {std::nullopt, kUsageStatus};
    }
    if (const std::string problem = mismatch(options); !problem.empty()) {
        std::fprintf(stderr, "tagbench-gateway: %s\n", problem.c_str());
        return {std::nullopt, kUsageStatus};
    }
    return {std::move(options), 0};
}

}  // namespace gateway
