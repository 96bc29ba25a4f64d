// tagbench-gateway: readers in the field (connecting out, or opened by address) → tag
// messages on MQTT, HTTP and stdout. Runs until SIGTERM or SIGINT, which deliver what they
// can within 5 s; SIGHUP reopens the log file.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "http_output.h"
#include "hub.h"
#include "listener.h"
#include "log.h"
#include "mqtt_output.h"
#include "opened_readers.h"
#include "options.h"
#include "stdout_output.h"

namespace {

using namespace gateway;
using Steady = std::chrono::steady_clock;

constexpr auto kShutdownTime = std::chrono::seconds(5);
// How often pending aggregated counts are looked at.
constexpr auto kTickPeriod = std::chrono::milliseconds(100);

std::chrono::milliseconds millisecondsOf(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

std::vector<std::unique_ptr<Output>> makeOutputs(const Options &o) {
    std::vector<std::unique_ptr<Output>> outputs;
    if (o.toStdout) outputs.push_back(std::make_unique<StdoutOutput>());
    if (o.broker) {
        outputs.push_back(std::make_unique<MqttOutput>(
            MqttSettings{*o.broker, o.caFile, o.topic, o.qos, o.name, o.queueLimit}));
    }
    if (!o.httpUrl.empty()) {
        outputs.push_back(std::make_unique<HttpOutput>(
            HttpSettings{o.httpUrl, o.batch, std::chrono::milliseconds(o.lingerMs), o.queueLimit}));
    }
    return outputs;
}

int run(const Options &o, const sigset_t &signals) {
    Hub hub(makeOutputs(o), millisecondsOf(o.reportIntervalS));
    Listener listener(hub);
    for (const std::string &where : o.listen) {
        std::string error;
        if (!listener.listen(where, error)) {
            log::line(error);
            return 1;
        }
    }
    listener.start();
    OpenedReaders readers(hub, std::chrono::milliseconds(o.pollMs), o.waitScale);
    for (const std::string &address : o.readers) readers.add(address);

    const auto statsPeriod = millisecondsOf(o.statsIntervalS);
    auto nextStats = Steady::now() + statsPeriod;
    for (;;) {
        const timespec wait{0, std::chrono::nanoseconds(kTickPeriod).count()};
        const int signal = sigtimedwait(&signals, nullptr, &wait);
        if (signal == SIGTERM || signal == SIGINT) break;
        if (signal == SIGHUP) log::reopen();
        hub.tick();
        if (Steady::now() >= nextStats) {
            hub.publishStats();
            nextStats += statsPeriod;
        }
    }
    log::line("stopping");
    const auto deadline = Steady::now() + kShutdownTime;
    listener.stop();
    readers.stop();
    hub.finish(deadline);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const Parsed parsed = parseOptions(argc, argv);
    if (!parsed.options) return parsed.status;
    const Options &options = *parsed.options;
    if (!log::open(options.logFile)) {
        std::fprintf(stderr, "tagbench-gateway: cannot open the log file %s\n",
                     options.logFile.c_str());
        return 1;
    }
    // Blocked before any thread starts, so only the main loop takes them.
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    try {
        return run(options, signals);
    } catch (const std::exception &error) {
        log::line(error.what());
        return 1;
    }
}
