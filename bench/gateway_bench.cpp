// tagbench-gateway under many readers connecting out, into a real Mosquitto broker at QoS 1.
// Three phases in one run:
//   paced: every reader sends `rate` one-tag reports a second for `seconds`; every report
//          must come out as one message at a subscriber (none lost); end-to-end latency
//          (report written → message received) p50/p99, the gateway's CPU and peak RSS;
//   burst: every reader sends `burst` reports at once; messages a second through the gateway;
//   bare:  a bare libmosquitto publisher sends as many messages of the same size at QoS 1;
//          messages a second, and the gateway's share of it.
// Loopback only; every wait is bounded. A paced phase of two minutes or more also prints,
// for each minute, the gateway's highest RSS within it, its CPU and the messages behind, so
// a long run (200 readers for 600 s, say) shows whether memory stays flat.
//
// The gateway batches MQTT messages (`mqtt-batch` sightings of one reader at most, waiting
// `linger` ms) and keeps a spool unless `spool` is off.
//
//   bench_gateway [readers=1000] [rate=20] [seconds=30] [burst=100] [mqtt-batch=50]
//                 [linger=80] [spool=on]
#include <mosquitto.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "broker.h"
#include "child_process.h"
#include "frame.h"
#include "loopback_socket.h"

namespace {

using Steady = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kDrainDeadline = std::chrono::seconds(60);
constexpr std::uint8_t kActiveReport = 0x45;

std::int64_t microsNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Steady::now().time_since_epoch())
        .count();
}

// EPC: reader (2 bytes), sequence (4), send time in microseconds (6), so the subscriber
// knows each message's origin and age.
Bytes epcOf(std::uint16_t reader, std::uint32_t sequence, std::int64_t micros) {
    Bytes epc = {std::uint8_t(reader >> 8),    std::uint8_t(reader),
                 std::uint8_t(sequence >> 24), std::uint8_t(sequence >> 16),
                 std::uint8_t(sequence >> 8),  std::uint8_t(sequence)};
    for (int shift = 40; shift >= 0; shift -= 8) epc.push_back(std::uint8_t(micros >> shift));
    return epc;
}

Bytes reportFrame(std::uint16_t reader, std::uint32_t sequence) {
    Bytes data = {0x50, 0x20, 0x26, 0x12, 0x09, std::uint8_t(reader >> 8), std::uint8_t(reader), 1};
    const Bytes epc = epcOf(reader, sequence, microsNow());
    data.push_back(std::uint8_t(epc.size() + 3));
    data.insert(data.end(), {1, 1});
    data.insert(data.end(), epc.begin(), epc.end());
    data.push_back(180);
    Bytes frame(data.size() + 8);
    frame.resize(qn::buildResponse(0xFF, kActiveReport, 1, data, frame));
    return frame;
}

int hexDigit(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Counts what arrives and how old it is.
class Subscriber {
  public:
    Subscriber(std::uint16_t port, int readers) : seen_(std::size_t(readers) + 1) {
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(client_, onMessage);
        mosquitto_subscribe_callback_set(client_, onSubscribe);
        mosquitto_connect(client_, "127.0.0.1", port, 60);
        mosquitto_subscribe(client_, nullptr, "tagbench/+/tags", 1);
        mosquitto_loop_start(client_);
    }
    ~Subscriber() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }

    bool waitSubscribed() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDrainDeadline, [this] { return subscribed_; });
    }
    // Waits until `count` distinct messages came; the time it happened.
    bool waitForDistinct(std::uint64_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDrainDeadline, [&] { return distinct_ >= count; });
    }
    void startLatencies() {
        const std::lock_guard lock(mutex_);
        latencies_.clear();
        recordLatency_ = true;
    }
    std::vector<std::int64_t> stopLatencies() {
        const std::lock_guard lock(mutex_);
        recordLatency_ = false;
        return latencies_;
    }
    std::uint64_t distinct() {
        const std::lock_guard lock(mutex_);
        return distinct_;
    }
    std::uint64_t duplicates() {
        const std::lock_guard lock(mutex_);
        return duplicates_;
    }
    std::uint64_t messages() {
        const std::lock_guard lock(mutex_);
        return messages_;
    }

  private:
    static void onSubscribe(mosquitto *, void *self, int, int, const int *) {
        auto *subscriber = static_cast<Subscriber *>(self);
        const std::lock_guard lock(subscriber->mutex_);
        subscriber->subscribed_ = true;
        subscriber->changed_.notify_all();
    }
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message) {
        static_cast<Subscriber *>(self)->take(
            std::string(static_cast<const char *>(message->payload), size_t(message->payloadlen)));
    }
    // Every sighting of a message (one, or a batch).
    void take(const std::string &payload) {
        const std::int64_t now = microsNow();
        const std::lock_guard lock(mutex_);
        for (auto at = payload.find("\"epc\":\""); at != std::string::npos;
             at = payload.find("\"epc\":\"", at + 1)) {
            if (payload.size() < at + 7 + 24) return;
            std::uint64_t fields[3] = {};
            const int widths[3] = {4, 8, 12};
            std::size_t position = at + 7;
            for (int f = 0; f < 3; ++f) {
                for (int i = 0; i < widths[f]; ++i)
                    fields[f] = fields[f] << 4 | hexDigit(payload[position++]);
            }
            auto &seen = seen_.at(std::min<std::size_t>(fields[0], seen_.size() - 1));
            if (seen.size() <= fields[1]) seen.resize(fields[1] * 2 + 64);
            if (seen[fields[1]]) {
                ++duplicates_;
            } else {
                seen[fields[1]] = true;
                ++distinct_;
                if (recordLatency_) latencies_.push_back(now - std::int64_t(fields[2]));
            }
        }
        ++messages_;
        changed_.notify_all();
    }

    mosquitto *client_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool subscribed_ = false;
    std::vector<std::vector<bool>> seen_;  // per reader, by sequence number
    std::uint64_t distinct_ = 0;
    std::uint64_t duplicates_ = 0;
    std::uint64_t messages_ = 0;
    bool recordLatency_ = false;
    std::vector<std::int64_t> latencies_;
};

struct ProcessUse {
    double cpuSeconds = 0;
    long peakRssKiB = 0;
    long rssKiB = 0;
};

ProcessUse processUse(pid_t pid) {
    ProcessUse use;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) utime = std::stoul(field);
        if (index == 15) {
            stime = std::stoul(field);
            break;
        }
    }
    use.cpuSeconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) use.peakRssKiB = std::stol(line.substr(6));
        if (line.starts_with("VmRSS:")) use.rssKiB = std::stol(line.substr(6));
    }
    return use;
}

// For a long paced phase: each minute, the highest RSS sampled within it (once a second).
class MinuteReport {
  public:
    MinuteReport(pid_t pid, Steady::time_point start)
        : pid_(pid), minuteStart_(start), nextSample_(start), last_(processUse(pid)) {}

    void sample(Steady::time_point now, std::uint64_t sent, std::uint64_t received) {
        if (now < nextSample_) return;
        nextSample_ += std::chrono::seconds(1);
        const ProcessUse use = processUse(pid_);
        highestRssKiB_ = std::max(highestRssKiB_, use.rssKiB);
        if (now - minuteStart_ < std::chrono::minutes(1)) return;
        const double seconds = std::chrono::duration<double>(now - minuteStart_).count();
        std::printf("minute %d: RSS at most %.1f MiB, CPU %.0f%% of a core, %lld messages behind\n",
                    ++minute_, double(highestRssKiB_) / 1024.0,
                    100.0 * (use.cpuSeconds - last_.cpuSeconds) / seconds,
                    (long long)sent - (long long)received);
        std::fflush(stdout);
        minuteStart_ = now;
        last_ = use;
        highestRssKiB_ = 0;
    }

  private:
    pid_t pid_;
    Steady::time_point minuteStart_;
    Steady::time_point nextSample_;
    ProcessUse last_;
    long highestRssKiB_ = 0;
    int minute_ = 0;
};

double percentile(std::vector<std::int64_t> values, double share) {
    if (values.empty()) return 0;
    const auto at = values.begin() + std::ptrdiff_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return double(*at) / 1000.0;
}

// The same number of messages of the same size from a bare client at QoS 1, as fast as the
// broker acknowledges them (the same in-flight window as the gateway's).
double bareMessagesPerSecond(std::uint16_t port, Subscriber &subscriber, int readers,
                             std::uint32_t count, std::size_t payloadSize) {
    mosquitto *client = mosquitto_new(nullptr, true, nullptr);
    mosquitto_max_inflight_messages_set(client, 256);
    mosquitto_connect(client, "127.0.0.1", port, 60);
    mosquitto_loop_start(client);
    const std::uint64_t before = subscriber.distinct();
    const auto start = Steady::now();
    for (std::uint32_t sequence = 0; sequence < count; ++sequence) {
        std::string payload = "{\"epc\":\"";
        for (const std::uint8_t byte : epcOf(std::uint16_t(readers), sequence, microsNow())) {
            static constexpr char digits[] = "0123456789ABCDEF";
            payload += digits[byte >> 4];
            payload += digits[byte & 15];
        }
        payload += "\"";
        payload.resize(std::max(payload.size() + 1, payloadSize), ' ');
        payload.back() = '}';
        mosquitto_publish(client, nullptr, "tagbench/bare/tags", int(payload.size()),
                          payload.data(), 1, false);
    }
    subscriber.waitForDistinct(before + count);
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
    return double(subscriber.distinct() - before) / seconds;
}

}  // namespace

int main(int argc, char **argv) {
    const int readers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 20;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
    const int burst = argc > 4 ? std::atoi(argv[4]) : 100;
    const int batch = argc > 5 ? std::atoi(argv[5]) : 50;
    const int linger = argc > 6 ? std::atoi(argv[6]) : 80;
    const bool spoolOn = argc > 7 ? std::string(argv[7]) != "off" : true;
    if (readers < 1 || readers > 60000 || rate < 1 || seconds < 1 || burst < 1 || batch < 1 ||
        linger < 0) {
        std::fprintf(stderr,
                     "usage: bench_gateway [readers] [rate] [seconds] [burst] [mqtt-batch] "
                     "[linger] [spool: on|off]\n");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    mosquitto_lib_init();
    gatewaytest::Broker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "the broker did not start\n");
        return 1;
    }
    Subscriber subscriber(broker.port(), readers);
    if (!subscriber.waitSubscribed()) return 1;

    const std::uint16_t port = gatewaytest::freePort();
    const std::string log = "/tmp/bench_gateway_" + std::to_string(::getpid()) + ".log";
    const std::string spool = "/tmp/bench_gateway_spool_" + std::to_string(::getpid());
    testsupport::ChildProcess gateway(
        TAGBENCH_GATEWAY_PATH,
        {"--listen", "127.0.0.1:" + std::to_string(port), "--mqtt", broker.url(), "--qos", "1",
         "--queue-limit", "10000000", "--log", log, "--name", "bench", "--mqtt-batch",
         std::to_string(batch), "--mqtt-linger", std::to_string(linger), "--spool",
         spoolOn ? spool : "none"},
        testsupport::childEnvironment({}));
    std::printf("mqtt-batch %d, linger %d ms, spool %s\n", batch, linger, spoolOn ? "on" : "off");
    std::vector<testsupport::LoopbackSocket> peers;
    const auto connectEnd = Steady::now() + kDrainDeadline;
    while (int(peers.size()) < readers && Steady::now() < connectEnd) {
        auto socket = testsupport::LoopbackSocket::connectedTo(port);
        if (socket.valid()) {
            peers.push_back(std::move(socket));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // not listening yet
        }
    }
    if (int(peers.size()) < readers) {
        std::fprintf(stderr, "only %zu readers connected\n", peers.size());
        return 1;
    }

    // Paced phase.
    std::vector<std::uint32_t> sequence(std::size_t(readers), 0);
    std::uint64_t sent = 0;
    const auto send = [&](int reader) {
        const Bytes frame = reportFrame(std::uint16_t(reader), sequence[std::size_t(reader)]++);
        if (peers[std::size_t(reader)].sendAll(frame.data(), frame.size())) ++sent;
    };
    const ProcessUse startUse = processUse(gateway.pid());
    const std::uint64_t messagesBefore = subscriber.messages();
    subscriber.startLatencies();
    const auto start = Steady::now();
    const auto period = std::chrono::microseconds(1000000 / rate);
    std::optional<MinuteReport> minutes;
    if (seconds >= 120) minutes.emplace(gateway.pid(), start);
    for (auto tick = start; tick < start + std::chrono::seconds(seconds); tick += period) {
        std::this_thread::sleep_until(tick);
        for (int reader = 0; reader < readers; ++reader) send(reader);
        if (minutes) minutes->sample(Steady::now(), sent, subscriber.distinct());
    }
    const bool complete = subscriber.waitForDistinct(sent);
    const double wall = std::chrono::duration<double>(Steady::now() - start).count();
    const ProcessUse endUse = processUse(gateway.pid());
    const std::vector<std::int64_t> latencies = subscriber.stopLatencies();
    std::printf(
        "paced: %d readers x %d reports/s for %d s: sent %llu, received %llu%s, "
        "duplicates %llu\n",
        readers, rate, seconds, (unsigned long long)sent, (unsigned long long)subscriber.distinct(),
        complete ? "" : " (INCOMPLETE)", (unsigned long long)subscriber.duplicates());
    std::printf("latency p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(latencies, 0.5),
                percentile(latencies, 0.99), percentile(latencies, 1.0));
    std::printf("MQTT messages %.0f/s for %.0f sightings/s\n",
                double(subscriber.messages() - messagesBefore) / wall, double(sent) / wall);
    std::printf("gateway CPU %.0f%% of a core, peak RSS %.1f MiB\n",
                100.0 * (endUse.cpuSeconds - startUse.cpuSeconds) / wall,
                double(endUse.peakRssKiB) / 1024.0);

    // Burst phase.
    const std::uint64_t beforeBurst = subscriber.distinct();
    const auto burstStart = Steady::now();
    for (int round = 0; round < burst; ++round) {
        for (int reader = 0; reader < readers; ++reader) send(reader);
    }
    const std::uint64_t burstCount = std::uint64_t(readers) * std::uint64_t(burst);
    subscriber.waitForDistinct(beforeBurst + burstCount);
    const double burstSeconds = std::chrono::duration<double>(Steady::now() - burstStart).count();
    const double gatewayRate = double(subscriber.distinct() - beforeBurst) / burstSeconds;
    const double bareRate =
        bareMessagesPerSecond(broker.port(), subscriber, readers, std::uint32_t(burstCount), 125);
    std::printf(
        "throughput at QoS 1: gateway %.0f sightings/s, bare libmosquitto publisher %.0f msg/s "
        "of one sighting (%.2fx)\n",
        gatewayRate, bareRate, gatewayRate / bareRate);
    std::printf("gateway peak RSS after the burst %.1f MiB\n",
                double(processUse(gateway.pid()).peakRssKiB) / 1024.0);
    gateway.signal(SIGTERM);
    gateway.finish(std::chrono::seconds(30));
    std::remove(log.c_str());
    std::filesystem::remove_all(spool);
    mosquitto_lib_cleanup();
    return complete ? 0 : 1;
}
