// tagbench-gateway: readers in the field (connecting out, or opened by address) → tag
// messages on MQTT, HTTP and stdout. Runs until SIGTERM or SIGINT, which deliver what they
// can and end the process within 5 s (what is left stays in the spool); SIGHUP reopens the
// log file.
#include <signal.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "http_output.h"
#include "hub.h"
#include "listener.h"
#include "log.h"
#include "memory_store.h"
#include "metrics.h"
#include "mqtt_output.h"
#include "opened_readers.h"
#include "options.h"
#include "spool.h"
#include "stdout_output.h"

namespace {

using namespace gateway;
using Steady = std::chrono::steady_clock;

// Stopping: outputs deliver for up to kDeliveryTime; whatever then still holds the process
// (a peer that does not answer, a name lookup) ends at kShutdownTime, its messages spooled.
constexpr auto kDeliveryTime = std::chrono::milliseconds(3500);
constexpr auto kShutdownTime = std::chrono::milliseconds(4700);
// How often pending aggregated counts are looked at.
constexpr auto kTickPeriod = std::chrono::milliseconds(100);

std::chrono::milliseconds millisecondsOf(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

unsigned outputBits(const Options &o) {
    return (o.toStdout ? unsigned(OutputBit::Stdout) : 0) |
           (o.broker ? unsigned(OutputBit::Mqtt) : 0) |
           (!o.httpUrl.empty() ? unsigned(OutputBit::Http) : 0);
}

std::unique_ptr<Store> makeStore(const Options &o) {
    if (o.spool == "none") return std::make_unique<MemoryStore>(outputBits(o), o.queueLimit);
    constexpr std::uint64_t kMegabyte = 1024 * 1024;
    return std::make_unique<Spool>(o.spool, outputBits(o), o.spoolLimitMb * kMegabyte);
}

std::vector<std::unique_ptr<Output>> makeOutputs(const Options &o, Store &store) {
    std::vector<std::unique_ptr<Output>> outputs;
    if (o.toStdout) outputs.push_back(std::make_unique<StdoutOutput>(store));
    if (o.broker) {
        outputs.push_back(std::make_unique<MqttOutput>(
            MqttSettings{*o.broker, o.caFile, o.topic, o.qos, o.name, o.mqttBatch,
                         std::chrono::milliseconds(o.mqttLingerMs)},
            store));
    }
    if (!o.httpUrl.empty()) {
        outputs.push_back(std::make_unique<HttpOutput>(
            HttpSettings{o.httpUrl, o.batch, std::chrono::milliseconds(o.lingerMs), o.httpToken,
                         o.httpCredentials},
            store));
    }
    return outputs;
}

// Ends the process at `deadline` if stopping has not ended it by then: the spool holds what
// is undelivered, so nothing is lost by leaving.
void limitStopping(Steady::time_point deadline) {
    std::thread([deadline] {
        std::this_thread::sleep_until(deadline);
        log::line("stopping took too long; leaving what is undelivered in the spool");
        ::_exit(0);
    }).detach();
}

int run(const Options &o, const sigset_t &signals) {
    const std::unique_ptr<Store> store = makeStore(o);
    Hub hub(*store, makeOutputs(o, *store), millisecondsOf(o.reportIntervalS), o.name);
    MetricsServer metrics(hub, *store);
    if (!o.metrics.empty()) {
        std::string error;
        if (!metrics.start(o.metrics, error)) {
            log::line(error);
            return 1;
        }
    }
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
        if (hub.outputsEnded()) break;
        if (signal == SIGHUP) log::reopen();
        hub.tick();
        if (Steady::now() >= nextStats) {
            hub.publishStats();
            nextStats += statsPeriod;
        }
    }
    log::line("stopping");
    const auto stopped = Steady::now();
    limitStopping(stopped + kShutdownTime);
    listener.stop();
    readers.stop();
    hub.finish(stopped + kDeliveryTime);
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
