#include "bench_support.h"

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "frame.h"

namespace benchsupport {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint64_t> g_reportsReceived{0};

bool readExactly(int fd, uint8_t *buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 1000) <= 0) return false;
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

// Waits until every report sent has arrived or none came for a while; returns about when
// the last one arrived.
Clock::time_point waitForReports(const readersim::VirtualReader &reader, uint64_t sentBefore) {
    uint64_t seen = g_reportsReceived.load();
    auto lastProgress = Clock::now();
    while (seen + sentBefore < reader.reportsSent() &&
           Clock::now() - lastProgress < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const uint64_t now = g_reportsReceived.load();
        if (now != seen) lastProgress = Clock::now();
        seen = now;
    }
    return lastProgress;
}

}  // namespace

BusyCores::BusyCores(int cores) {
    for (int i = 0; i < cores; ++i) {
        threads_.emplace_back([this] {
            volatile uint64_t spins = 0;
            while (!stop_.load(std::memory_order_relaxed)) spins = spins + 1;
        });
    }
}

BusyCores::~BusyCores() {
    stop_ = true;
    for (std::thread &thread : threads_) thread.join();
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void measureIdleCpu(benchmark::State &state) {
    constexpr double kWindowSeconds = 3.0;
    for (auto _ : state) {
        const double before = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(kWindowSeconds));
        state.counters["cpu_percent_of_core"] =
            100.0 * (processCpuSeconds() - before) / kWindowSeconds;
    }
}

void measureRawRoundTrips(benchmark::State &state, int fd, qn::WriteSome writeSome) {
    uint8_t request[qn::kRequestBufferSize];
    const size_t size = qn::buildRequest(0xFF, 0x10, {}, request);
    uint8_t answer[18];  // the system information answer
    int failures = 0;
    for (auto _ : state) {
        if (writeSome(fd, request, size) != ssize_t(size) ||
            !readExactly(fd, answer, sizeof answer)) {
            ++failures;
        }
    }
    state.counters["failures"] = failures;
}

void countReport(int32_t event, int32_t, const uint8_t *, int32_t, const uint8_t *) {
    if (event == 2) g_reportsReceived.fetch_add(1, std::memory_order_relaxed);
}

void measureActiveIngest(benchmark::State &state, readersim::VirtualReader &reader) {
    for (auto _ : state) {
        g_reportsReceived = 0;
        const uint64_t sentBefore = reader.reportsSent();
        const auto start = Clock::now();
        reader.startActive(std::chrono::microseconds(0), int(state.range(0)));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        reader.stopActive();
        const auto lastArrival = waitForReports(reader, sentBefore);
        const double seconds = std::chrono::duration<double>(lastArrival - start).count();
        const uint64_t received = g_reportsReceived.load();
        const uint64_t sent = reader.reportsSent() - sentBefore;  // counted after each write
        state.counters["reports_per_second"] = double(received) / seconds;
        state.counters["reports_sent"] = double(sent);
        state.counters["reports_lost"] = double(sent > received ? sent - received : 0);
    }
}

}  // namespace benchsupport
