#include "options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    app.add_option("--mqtt-password-file", o.mqttPasswordFile,
                   "Read the broker password from FILE (its first line), not from the URL; "
                   "default: the credential mqtt-password of systemd")
        ->check(CLI::ExistingFile);
    app.add_option("--ca", o.caFile, "CA certificates for mqtts:// (PEM file)")
        ->check(CLI::ExistingFile);
    app.add_option("--http", o.httpUrl, "POST tag messages as JSON arrays to URL");
    app.add_option("--http-token-file", o.httpTokenFile,
                   "Send the bearer token in FILE (its first line) with each POST; default: "
                   "the credential http-token of systemd")
        ->check(CLI::ExistingFile);
    app.add_option("--http-credentials-file", o.httpCredentialsFile,
                   "Log in to the endpoint with USER:PASSWORD, the first line of FILE "
                   "(basic authentication); default: the credential http-credentials of systemd")
        ->check(CLI::ExistingFile);
    app.add_option("--batch", o.batch, "Messages per HTTP request at most")
        ->check(CLI::Range(1u, 100000u))
        ->capture_default_str();
    app.add_option("--linger", o.lingerMs, "Milliseconds a message waits for its HTTP batch")
        ->check(CLI::Range(0u, 3600000u))
        ->capture_default_str();
    app.add_option("--mqtt-batch", o.mqttBatch,
                   "Sightings of one reader per MQTT message at most (1: one message per "
                   "sighting; more: {\"v\":1,\"reader\":…,\"tags\":[…]})")
        ->check(CLI::Range(1u, 10000u))
        ->capture_default_str();
    app.add_option("--mqtt-linger", o.mqttLingerMs,
                   "Milliseconds a sighting waits for its MQTT batch")
        ->check(CLI::Range(0u, 3600000u))
        ->capture_default_str();
    app.add_option("--spool", o.spool,
                   "Keep tag messages in FOLDER/spool.db until every output has them, across "
                   "restarts; none: in memory (default: $STATE_DIRECTORY under systemd, else "
                   "none)");
    app.add_option("--spool-limit", o.spoolLimitMb,
                   "Megabytes the spool holds at most (oldest dropped beyond)")
        ->check(CLI::Range(1u, 1000000u))
        ->capture_default_str();
    app.add_option("--queue-limit", o.queueLimit,
                   "Tag messages kept in memory with --spool none (oldest dropped beyond)")
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
    app.add_option("--metrics", o.metrics,
                   "Serve /metrics (Prometheus) and /healthz on [ADDRESS:]PORT (127.0.0.1 "
                   "without an address)");
    app.add_option("--log", o.logFile,
                   "Append the log to FILE instead of stderr (SIGHUP "
                   "reopens it)");
}

std::string trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The file --config names, if any.
std::string configPath(int argc, char **argv) {
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--config" && i + 1 < argc) path = argv[i + 1];
        if (argument.starts_with("--config=")) path = argument.substr(9);
    }
    return path;
}

// A configuration file may only name options this program has: a misspelt key would
// otherwise be ignored without a word. The first unknown key as FILE:LINE: …, or empty.
std::string unknownConfigKey(const CLI::App &app, const std::string &path) {
    std::ifstream file(path);
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        const std::string line = trimmed(text.substr(0, text.find_first_of("#;")));
        // Blank lines, sections and the continued lines of a list hold no key.
        if (line.empty() || !std::isalpha(static_cast<unsigned char>(line.front()))) continue;
        std::string key = trimmed(line.substr(0, line.find('=')));
        if (key.size() >= 2 && key.front() == '"' && key.back() == '"') {
            key = key.substr(1, key.size() - 2);
        }
        const auto options = app.get_options([&](const CLI::Option *option) {
            const auto &names = option->get_lnames();
            return std::find(names.begin(), names.end(), key) != names.end();
        });
        if (options.empty() || key == "config" || key == "help" || key == "version") {
            return path + ":" + std::to_string(number) + ": unknown option \"" + key + "\"";
        }
    }
    return {};
}

// The first line of a secret's file, without its line end; nothing when it cannot be read.
std::optional<std::string> firstLine(const std::string &path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// A secret's file: the one the option names, else systemd's credential of that name when
// the unit passes it.
std::string secretPath(const std::string &given, const char *credential) {
    if (!given.empty()) return given;
    const char *folder = std::getenv("CREDENTIALS_DIRECTORY");
    if (folder == nullptr || *folder == '\0') return {};
    const std::string path = std::string(folder) + "/" + credential;
    std::error_code error;
    return std::filesystem::exists(path, error) ? path : std::string();
}

// Passwords and tokens come from files (never the command line, which every user can see);
// the problem with one, or empty.
std::string readSecrets(Options &o) {
    const struct {
        const std::string &given;
        const char *credential;
        const char *option;
        std::string &value;
    } secrets[] = {
        {o.mqttPasswordFile, "mqtt-password", "--mqtt-password-file", o.mqttPassword},
        {o.httpTokenFile, "http-token", "--http-token-file", o.httpToken},
        {o.httpCredentialsFile, "http-credentials", "--http-credentials-file", o.httpCredentials},
    };
    for (const auto &secret : secrets) {
        const std::string path = secretPath(secret.given, secret.credential);
        if (path.empty()) continue;
        const auto line = firstLine(path);
        if (!line) {
            const std::string source = secret.given.empty()
                                           ? "credential " + std::string(secret.credential)
                                           : std::string(secret.option);
            return source + ": cannot read " + path;
        }
        secret.value = *line;
    }
    if (o.broker && !o.mqttPassword.empty()) o.broker->password = o.mqttPassword;
    if (!o.httpCredentials.empty() && o.httpCredentials.find(':') == std::string::npos) {
        return "--http-credentials-file: expected USER:PASSWORD";
    }
    return {};
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
    if (const std::string problem = readSecrets(o); !problem.empty()) return problem;
    if (o.spool.empty()) {
        const char *state = std::getenv("STATE_DIRECTORY");
        o.spool = state != nullptr && *state != '\0' ? state : "none";
    }
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
    if (const std::string path = configPath(argc, argv); !path.empty()) {
        if (const std::string unknown = unknownConfigKey(app, path); !unknown.empty()) {
            std::fprintf(stderr, "tagbench-gateway: %s\n", unknown.c_str());
            return {std::nullopt, kUsageStatus};
        }
    }
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
