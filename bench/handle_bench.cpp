// The handle library with many readers in one process, against 64 virtual readers on
// loopback:
// - GetDeviceSystemInfo round trips from 64 threads, each on its own handle, beside 64 raw
//   socket loops (the same request bytes written to each reader's socket, the whole answer
//   read back) in the same run: the handles' receive threads and waits must keep the
//   aggregate rate near the raw one (handle_to_raw_ratio);
// - CPU used by 64 open, idle handles (their threads must sleep, not spin), and the threads
//   each handle starts.
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QnReader.h"
#include "bench_support.h"

namespace {

constexpr int kReaders = 64;

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// kReaders virtual readers, each serving TCP on its own loopback port.
class ReaderFarm {
  public:
    ReaderFarm() {
        readersim::ReaderOptions options;
        options.requestLogLimit = 16;  // the benchmark never reads the log back
        for (int i = 0; i < kReaders; ++i) {
            readers_.push_back(std::make_unique<readersim::VirtualReader>(options));
            ports_.push_back(readers_.back()->serveTcp());
        }
    }
    uint16_t port(int i) const { return ports_[size_t(i)]; }
    std::string address(int i) const { return "tcp://127.0.0.1:" + std::to_string(port(i)); }

  private:
    std::vector<std::unique_ptr<readersim::VirtualReader>> readers_;
    std::vector<uint16_t> ports_;
};

// One open handle per reader of the farm, closed together.
class OpenHandles {
  public:
    explicit OpenHandles(const ReaderFarm &farm) {
        for (int i = 0; i < kReaders; ++i) {
            QnReader *handle = QnReader_Open(farm.address(i).c_str(), nullptr, 0);
            if (handle) handles_.push_back(handle);
        }
    }
    ~OpenHandles() {
        for (QnReader *handle : handles_) QnReader_Close(handle);
    }
    OpenHandles(const OpenHandles &) = delete;
    OpenHandles &operator=(const OpenHandles &) = delete;
    bool allOpen() const { return handles_.size() == size_t(kReaders); }
    QnReader *operator[](int i) const { return handles_[size_t(i)]; }

  private:
    std::vector<QnReader *> handles_;
};

// One raw socket per reader of the farm.
class OpenSockets {
  public:
    explicit OpenSockets(const ReaderFarm &farm) {
        for (int i = 0; i < kReaders; ++i)
            fds_.push_back(benchsupport::connectLoopback(farm.port(i)));
    }
    ~OpenSockets() {
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);
    }
    OpenSockets(const OpenSockets &) = delete;
    OpenSockets &operator=(const OpenSockets &) = delete;
    bool allOpen() const {
        for (int fd : fds_)
            if (fd < 0) return false;
        return true;
    }
    int operator[](int i) const { return fds_[size_t(i)]; }

  private:
    std::vector<int> fds_;
};

// Context switches of the whole process so far, voluntary or not.
double processContextSwitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_nvcsw + usage.ru_nivcsw);
}

struct Throughput {
    double roundTrips = 0;
    double seconds = 0;
    // Of the whole process, both ends of every round trip.
    double cpuSeconds = 0;
    double contextSwitches = 0;
    double failures = 0;
};

// Runs roundTrip(i) over and over from kReaders threads, one per reader, all starting
// together, for about `window`; adds what they did to `total`.
void runConcurrently(Seconds window, const std::function<bool(int)> &roundTrip, Throughput &total) {
    std::latch ready(kReaders + 1);
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> done{0}, failed{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kReaders; ++i) {
        threads.emplace_back([&, i] {
            ready.arrive_and_wait();
            uint64_t ownDone = 0, ownFailed = 0;
            for (; !stop.load(std::memory_order_relaxed); ++ownDone)
                ownFailed += roundTrip(i) ? 0 : 1;
            done += ownDone;
            failed += ownFailed;
        });
    }
    ready.arrive_and_wait();
    const auto start = Clock::now();
    const double cpuAtStart = benchsupport::processCpuSeconds();
    const double switchesAtStart = processContextSwitches();
    std::this_thread::sleep_for(window);
    stop = true;
    for (std::thread &thread : threads) thread.join();
    total.seconds += Seconds(Clock::now() - start).count();
    total.cpuSeconds += benchsupport::processCpuSeconds() - cpuAtStart;
    total.contextSwitches += processContextSwitches() - switchesAtStart;
    total.roundTrips += double(done.load());
    total.failures += double(failed.load());
}

// The two kinds take turns, so that a change of load on the machine meets both alike. A
// reader serves one client at a time: the handles are closed before the sockets connect.
void BM_ManyHandlesRoundTrips(benchmark::State &state) {
    constexpr int kTurns = 2;
    constexpr Seconds kWindow{2.0};
    const ReaderFarm farm;
    for (auto _ : state) {
        Throughput handles, raw;
        for (int turn = 0; turn < kTurns; ++turn) {
            {
                const OpenHandles open(farm);
                if (!open.allOpen()) {
                    state.SkipWithError("a handle did not open");
                    return;
                }
                runConcurrently(
                    kWindow,
                    [&open](int i) {
                        uint8_t info[10];
                        return QnReader_GetDeviceSystemInfo(open[i], 0xFF, info) == 1;
                    },
                    handles);
            }
            const OpenSockets sockets(farm);
            if (!sockets.allOpen()) {
                state.SkipWithError("a socket did not connect");
                return;
            }
            const benchsupport::RawRoundTrip request;
            runConcurrently(
                kWindow, [&](int i) { return request.run(sockets[i], qn::sendNoSignal); }, raw);
        }
        const double handleRate = handles.roundTrips / handles.seconds;
        const double rawRate = raw.roundTrips / raw.seconds;
        state.counters["handle_round_trips_per_second"] = handleRate;
        state.counters["raw_round_trips_per_second"] = rawRate;
        state.counters["handle_to_raw_ratio"] = handleRate / rawRate;
        // Where the ratio comes from on a machine with fewer cores than threads.
        state.counters["handle_cpu_us_per_round_trip"] =
            1e6 * handles.cpuSeconds / handles.roundTrips;
        state.counters["raw_cpu_us_per_round_trip"] = 1e6 * raw.cpuSeconds / raw.roundTrips;
        state.counters["handle_switches_per_round_trip"] =
            handles.contextSwitches / handles.roundTrips;
        state.counters["raw_switches_per_round_trip"] = raw.contextSwitches / raw.roundTrips;
        state.counters["handle_failures"] = handles.failures;
        state.counters["raw_failures"] = raw.failures;
    }
}
BENCHMARK(BM_ManyHandlesRoundTrips)->Iterations(1)->Unit(benchmark::kSecond);

int threadsOfThisProcess() {
    int count = 0;
    for ([[maybe_unused]] const auto &task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

// The idle virtual readers are measured alone first: what the handles add is the
// difference.
void BM_IdleHandlesCpu(benchmark::State &state) {
    const ReaderFarm farm;
    for (auto _ : state) {
        const double readersAlone = benchsupport::cpuPercentOfCoreOver(std::chrono::seconds(2));
        const int threadsBefore = threadsOfThisProcess();
        const OpenHandles open(farm);
        if (!open.allOpen()) {
            state.SkipWithError("a handle did not open");
            return;
        }
        const int threadsAfter = threadsOfThisProcess();
        const double withHandles = benchsupport::cpuPercentOfCoreOver(std::chrono::seconds(4));
        state.counters["readers_alone_cpu_percent_of_core"] = readersAlone;
        state.counters["handles_cpu_percent_of_core"] = withHandles - readersAlone;
        state.counters["threads_per_handle"] = double(threadsAfter - threadsBefore) / kReaders;
    }
}
BENCHMARK(BM_IdleHandlesCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
