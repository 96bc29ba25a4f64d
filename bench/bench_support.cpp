#include "bench_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

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

double cpuPercentOfCoreOver(std::chrono::duration<double> window) {
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(window);
    return 100.0 * (processCpuSeconds() - before) / window.count();
}

void measureIdleCpu(benchmark::State &state) {
    for (auto _ : state) {
        state.counters["cpu_percent_of_core"] = cpuPercentOfCoreOver(std::chrono::seconds(3));
    }
}

RawRoundTrip::RawRoundTrip() : size_(qn::buildRequest(0xFF, 0x10, {}, request_)) {}

bool RawRoundTrip::run(int fd, qn::WriteSome writeSome) const {
    uint8_t answer[18];  // the system information answer
    return writeSome(fd, request_, size_) == ssize_t(size_) &&
           readExactly(fd, answer, sizeof answer);
}

void measureRawRoundTrips(benchmark::State &state, int fd, qn::WriteSome writeSome) {
    RawRoundTrip roundTrip;
    int failures = 0;
    for (auto _ : state) failures += roundTrip.run(fd, writeSome) ? 0 : 1;
    state.counters["failures"] = failures;
}

int connectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        return fd;
    }
    if (fd >= 0) ::close(fd);
    return -1;
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
