// TCP library against the virtual reader on loopback:
// - a GetDeviceSystemInfo round trip next to a raw socket send/receive of the same bytes
//   (the library's wait and receive thread must add little to the wire time);
// - CPU used by an open, idle connection (the receive thread must wait, not spin);
// - active-mode ingest: reports per second reaching the application callback while the
//   reader pushes as fast as it can, and how many of the reports sent never arrived.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "QnNetApi.h"
#include "frame.h"
#include "virtual_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_NetLibraryRoundTrip(benchmark::State &state) {
    readersim::VirtualReader reader;
    if (!QnNet_OpenDevice("127.0.0.1", reader.serveTcp())) {
        state.SkipWithError("open failed");
        return;
    }
    uint8_t info[10];
    int failures = 0;
    for (auto _ : state) failures += QnNet_GetDeviceSystemInfo(0xFF, info) ? 0 : 1;
    state.counters["failures"] = failures;
    QnNet_CloseDevice();
}
BENCHMARK(BM_NetLibraryRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

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

bool receiveExactly(int fd, uint8_t *buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 1000) <= 0) return false;
        const ssize_t n = ::recv(fd, buffer + got, size - got, 0);
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

void BM_NetRawRoundTrip(benchmark::State &state) {
    readersim::VirtualReader reader;
    const int fd = connectLoopback(reader.serveTcp());
    if (fd < 0) {
        state.SkipWithError("connect failed");
        return;
    }
    uint8_t request[qn::kRequestBufferSize];
    const size_t size = qn::buildRequest(0xFF, 0x10, {}, request);
    uint8_t answer[18];
    int failures = 0;
    for (auto _ : state) {
        if (::send(fd, request, size, MSG_NOSIGNAL) != ssize_t(size) ||
            !receiveExactly(fd, answer, sizeof answer)) {
            ++failures;
        }
    }
    state.counters["failures"] = failures;
    ::close(fd);
}
BENCHMARK(BM_NetRawRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

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

// CPU of the whole process (library threads and the idle virtual reader) while connected.
void BM_NetIdleConnectionCpu(benchmark::State &state) {
    readersim::VirtualReader reader;
    if (!QnNet_OpenDevice("127.0.0.1", reader.serveTcp())) {
        state.SkipWithError("open failed");
        return;
    }
    measureIdleCpu(state);
    QnNet_CloseDevice();
}
BENCHMARK(BM_NetIdleConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);

// The same with a plain socket instead of the library: what the idle reader itself costs.
void BM_NetIdleRawConnectionCpu(benchmark::State &state) {
    readersim::VirtualReader reader;
    const int fd = connectLoopback(reader.serveTcp());
    if (fd < 0) {
        state.SkipWithError("connect failed");
        return;
    }
    measureIdleCpu(state);
    ::close(fd);
}
BENCHMARK(BM_NetIdleRawConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);

std::atomic<uint64_t> g_reportsReceived{0};

void countReport(int32_t event, int32_t, const uint8_t *, int32_t, const uint8_t *) {
    if (event == 2) g_reportsReceived.fetch_add(1, std::memory_order_relaxed);
}

// Waits until every report sent has arrived or none came for a while; returns about when
// the last one arrived.
Clock::time_point drain(uint64_t sent) {
    uint64_t seen = g_reportsReceived.load();
    auto lastProgress = Clock::now();
    while (seen < sent && Clock::now() - lastProgress < std::chrono::seconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const uint64_t now = g_reportsReceived.load();
        if (now != seen) lastProgress = Clock::now();
        seen = now;
    }
    return lastProgress;
}

// Argument: tags per report.
void BM_NetActiveIngest(benchmark::State &state) {
    readersim::VirtualReader reader;
    QnNet_SetCallback(countReport);
    if (!QnNet_OpenDevice("127.0.0.1", reader.serveTcp())) {
        state.SkipWithError("open failed");
        return;
    }
    for (auto _ : state) {
        g_reportsReceived = 0;
        const auto start = Clock::now();
        reader.startActive(std::chrono::microseconds(0), int(state.range(0)));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        reader.stopActive();
        const auto lastArrival = drain(reader.reportsSent());
        const double seconds = std::chrono::duration<double>(lastArrival - start).count();
        const uint64_t received = g_reportsReceived.load();
        const uint64_t sent = reader.reportsSent();  // counted just after each write
        state.counters["reports_per_second"] = double(received) / seconds;
        state.counters["reports_sent"] = double(sent);
        state.counters["reports_lost"] = double(sent > received ? sent - received : 0);
    }
    QnNet_CloseDevice();
    QnNet_SetCallback(nullptr);
}
BENCHMARK(BM_NetActiveIngest)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
